#pragma once
// A file stream with a look-ahead / write-behind buffer, for readers that ask
// for a few bytes at a time and step back a few bytes while resynchronising,
// and a stream that copies what is read through it into a second stream.

#include "Stream.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

inline constexpr const char* CRLF = "\r\n";

enum TBufferMode { bmUndef = 0, bmRead = 1, bmWrite = 2 };

class TFileStreamBuffered final : public TFileStream {
public:
    // LookAhead is the buffer size; 0 or less passes every call straight to
    // the file. Opening errors of TFileStream pass through.
    TFileStreamBuffered(const std::string& FileName, std::uint16_t FileMode, std::int32_t LookAhead);
    // Writes what is still buffered; errors are swallowed here, so a writer
    // that must know calls Flush itself before destroying the stream.
    ~TFileStreamBuffered() override;

    std::int64_t GetSize() override { return FSize; }
    void SetSize(std::int64_t NewSize) override;
    // Reads of a few buffered bytes, and asking where the stream stands, are
    // what record decoders do all the time: those stay inline, the rest goes
    // to the file.
    std::int32_t Read(void* Buffer, std::int32_t Count) override {
        if (FMode == bmRead && Count > 0 && Count <= FAvail && Buffer) {
            std::memcpy(Buffer, FBuffer.get() + FStart, static_cast<std::size_t>(Count));
            FStart += Count;
            FAvail -= Count;
            FPosition += Count;
            return Count;
        }
        return ReadThrough(Buffer, Count);
    }
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
        if (FAhead > 0 && Offset == 0 && Origin == soCurrent) {
            return FPosition;
        }
        // A step to a place inside the buffered window, from one record to the next.
        if (FAhead > 0 && Origin == soBeginning && StepInWindow(Offset)) {
            return FPosition;
        }
        return SeekThrough(Offset, Origin);
    }

    // The file bytes [From, From + Count) where they stand in the buffer, for
    // reading them without a copy; null unless all of them are buffered.
    // Valid until the stream is used again.
    const std::uint8_t* Window(std::int64_t From, std::int32_t Count) const noexcept {
        if (FMode != bmRead || Count <= 0 || From < FPosition - FStart || From + Count > FPosition + FAvail) {
            return nullptr;
        }
        return FBuffer.get() + (FStart + (From - FPosition));
    }

    // Room for Count bytes at the stream's position in the write buffer, for
    // writing them in place, without a copy; the stream stands behind them.
    // Null when the stream has no buffer or Count exceeds it: then Write them.
    std::uint8_t* Reserve(std::int32_t Count) {
        if (FMode == bmWrite && Count > 0 && Count <= FAvail) {
            std::uint8_t* const at = FBuffer.get() + FStart;
            FStart += Count;
            FAvail -= Count;
            FPosition += Count;
            if (FPosition > FSize) FSize = FPosition;
            return at;
        }
        return ReserveThrough(Count);
    }

    // Another buffer size for what follows, e.g. a wide one for a long
    // sequential scan; buffered writes go to the file first, read-ahead is
    // dropped, the position stays.
    void SetLookAhead(std::int32_t LookAhead);
    std::int32_t LookAhead() const noexcept { return FMinAhead; }
    // Lets the read size grow while reading goes on where the last read
    // ended, doubling per refill up to Max bytes; a jump further than the
    // buffer brings it back to the look-ahead. A reader that walks a file
    // then needs few calls to the system, one that jumps about reads little
    // more than it uses. 0 or less: the look-ahead only.
    void SetGrowth(std::int32_t Max);

    // Writes buffered bytes to the file; EInOutError "Cannot flush buffer"
    // when the file takes fewer, keeping the rest buffered for another try.
    void Flush();
    // Writes Line followed by Break; returns the count written.
    std::int32_t LineWrite(const std::string& Line, const std::string& Break = CRLF);
    // Reads up to the next Break (not included in Line) and consumes it; at
    // the end of the file Line holds the rest. Returns the number of bytes
    // consumed, break included, so 0 means the end of the file was reached.
    std::int32_t LineRead(std::string& Line, const std::string& Break = CRLF);

    TBufferMode Mode() const noexcept { return FMode; }

private:
    // Moves to Target when it lies in the read window, backwards included: that costs nothing.
    bool StepInWindow(std::int64_t Target) noexcept {
        if (FMode != bmRead || Target < FPosition - FStart || Target > FPosition + FAvail) {
            return false;
        }
        const auto delta = static_cast<std::int32_t>(Target - FPosition);
        FStart += delta;
        FAvail -= delta;
        FPosition = Target;
        return true;
    }
    std::int32_t ReadThrough(void* Buffer, std::int32_t Count);
    std::uint8_t* ReserveThrough(std::int32_t Count);
    std::int64_t SeekThrough(std::int64_t Offset, TSeekOrigin Origin);
    void RealSeek(std::int64_t Pos);
    // New look-ahead and growth limit; the buffer is made anew when its size changes.
    void Resize(std::int32_t LookAhead, std::int32_t GrowTo);
    std::int32_t Refill();
    // Pending writes go out first; the read window starts empty.
    void BeginRead();

    std::int32_t FAhead;     // bytes a refill reads (and a write fills) now
    std::int32_t FMinAhead;  // the look-ahead: FAhead after every seek
    std::int32_t FGrowTo = 0;
    std::int32_t FCapacity;      // size of FBuffer: the larger of look-ahead and growth limit
    std::int64_t FReadEnd = -1;  // file offset where the last refill ended (-1: none since a reset)
    std::int32_t FAvail = 0;
    std::int32_t FStart = 0;
    std::int64_t FSize = 0;
    std::int64_t FPosition = 0;
    TBufferMode FMode = bmUndef;
    std::unique_ptr<std::uint8_t[]> FBuffer;
};

// Creates FileName, which must not exist yet (nor a link by its name), for
// writing through a buffer of LookAhead bytes: what stands there already is
// never truncated nor written through. The stream creates its file first and
// may fail after that (seeking, memory): Created tells, also when this
// throws, whether a file now stands there because of this call and is the
// caller's to remove.
std::unique_ptr<TFileStreamBuffered> CreateBuffered(const std::string& FileName, std::int32_t LookAhead, bool& Created);

// Every byte read from Source passes once, in source order, into Target,
// including bytes the reader skips by seeking forward. Owns neither stream.
class TCopyStream : public TStream {
public:
    TCopyStream(TStream& Source, TStream& Target);

    std::int64_t GetSize() override { return FSource.GetSize(); }
    void SetSize(std::int64_t NewSize) override { FSource.SetSize(NewSize); }
    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    std::int32_t Write(const void* Buffer, std::int32_t Count) override { return FSource.Write(Buffer, Count); }
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override { return FSource.Seek(Offset, Origin); }

    // Source position up to which bytes have been copied.
    std::int64_t Last = 0;

private:
    TStream& FSource;
    TStream& FTarget;
};
