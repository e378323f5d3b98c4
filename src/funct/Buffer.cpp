#include "Buffer.h"

#include <algorithm>
#include <cstring>
#include <vector>

// Buffer invariants (the handle is the file's own position):
//   read mode:  FBuffer[0 .. FStart+FAvail) holds the file bytes
//               [FPosition-FStart, FPosition+FAvail); reads name their offset,
//               so the handle may stand anywhere.
//   write mode: FBuffer[0 .. FStart) holds the bytes for
//               [FPosition-FStart, FPosition); handle = FPosition-FStart.
//   undefined mode: nothing buffered; the handle may stand anywhere (the
//               next write brings it to FPosition first).
// FAhead <= FCapacity, the size of FBuffer; FAhead grows towards FCapacity
// only while refills follow one another, and is FMinAhead after a jump.

TFileStreamBuffered::TFileStreamBuffered(const std::string& FileName, std::uint16_t FileMode, std::int32_t LookAhead)
    : TFileStream(FileName, FileMode), FAhead(LookAhead), FMinAhead(LookAhead), FCapacity(LookAhead) {
    if (FAhead > 0) {
        FBuffer = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(FAhead));
    }
    FSize = TFileStream::Seek(0, soEnd);
    TFileStream::Seek(0, soBeginning);
}

TFileStreamBuffered::~TFileStreamBuffered() {
    if (FMode == bmWrite) {
        try {
            Flush();
        } catch (...) {
            // A destructor must not throw; writers that need to know call Flush first.
        }
    }
}

void TFileStreamBuffered::RealSeek(std::int64_t Pos) {
    // Only writes and unbuffered reads use the handle's position: a reader's next refill reads at
    // its offset, one call to the system instead of two.
    FPosition = FMode == bmWrite || FMinAhead <= 0 ? TFileStream::Seek(Pos, soBeginning) : Pos;
    if (FMode == bmWrite) FAhead = FMinAhead;
    FStart = 0;
    FAvail = (FMode == bmWrite && FAhead > 0) ? FAhead : 0;
}

std::int32_t TFileStreamBuffered::Refill() {
    // The read size doubles while each refill starts where the last one
    // ended, stays for a step back by no more than a buffer, and falls back
    // to the look-ahead after a jump.
    const std::int64_t from = FPosition;
    if (from == FReadEnd) {
        FAhead = FCapacity / 2 < FAhead ? FCapacity : FAhead * 2;
    } else if (FReadEnd < 0 || from < FReadEnd - FAhead || from > FReadEnd + FAhead) {
        FAhead = FMinAhead;
    }
    // The last bytes read stay in front of the new ones: a reader stepping
    // back a little (to the record before, to a sync word across the border)
    // finds them still buffered instead of seeking and reading again. A
    // quarter of the buffer, and no more than a few records' worth: more
    // would only be copied around.
    constexpr std::int32_t maxKeep = 16384;
    const std::int32_t keep = std::min({FStart, FAhead / 4, maxKeep});
    if (keep > 0) {
        std::memmove(FBuffer.get(), FBuffer.get() + (FStart - keep), static_cast<std::size_t>(keep));
    }
    FStart = keep;
    FAvail = 0;
    FAvail = ReadAt(FBuffer.get() + keep, FAhead - keep, FPosition);
    FReadEnd = from + FAvail;
    return FAvail;
}

void TFileStreamBuffered::Flush() {
    if (FMode != bmWrite || FStart <= 0) {
        return;
    }
    const std::int32_t written = TFileStream::Write(FBuffer.get(), FStart);
    if (written < FStart) {
        // Keep exactly the bytes the file did not take, so that a later
        // flush continues where this one stopped instead of writing twice.
        if (written > 0) {
            std::memmove(FBuffer.get(), FBuffer.get() + written, static_cast<std::size_t>(FStart - written));
            FStart -= written;
            FAvail += written;
        }
        throw EInOutError("Cannot flush buffer");
    }
    FStart = 0;
    FAvail = FAhead;
}

void TFileStreamBuffered::SetLookAhead(std::int32_t LookAhead) {
    if (LookAhead == FMinAhead) {
        return;
    }
    Resize(LookAhead, FGrowTo);
}

void TFileStreamBuffered::SetGrowth(std::int32_t Max) {
    if (Max == FGrowTo) {
        return;
    }
    Resize(FMinAhead, Max);
}

void TFileStreamBuffered::Resize(std::int32_t LookAhead, std::int32_t GrowTo) {
    if (FMode == bmWrite) {
        Flush();
    }
    // The handle moves before anything changes: when that fails, the old
    // buffer still matches the file and the stream reads on as before.
    const std::int64_t position =
        FMode == bmWrite || LookAhead <= 0 ? TFileStream::Seek(FPosition, soBeginning) : FPosition;
    const std::int32_t capacity = LookAhead > 0 ? std::max(LookAhead, GrowTo) : LookAhead;
    if (capacity != FCapacity) {
        std::unique_ptr<std::uint8_t[]> buffer;
        if (capacity > 0) {
            buffer = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(capacity));
        }
        FBuffer = std::move(buffer);
        FCapacity = capacity;
    }
    FMinAhead = LookAhead;
    FGrowTo = GrowTo;
    FAhead = LookAhead;
    FReadEnd = -1;
    FPosition = position;
    FStart = 0;
    FAvail = (FMode == bmWrite && FAhead > 0) ? FAhead : 0;
}

void TFileStreamBuffered::SetSize(std::int64_t NewSize) {
    if (FMode == bmWrite) {
        Flush();
    }
    TFileStream::SetSize(NewSize);
    FSize = NewSize;
    if (FPosition > NewSize) {
        FPosition = NewSize;
    }
    // Truncation leaves the handle where it was; bring it back to the logical
    // position so the next buffered read or write starts in the right place.
    RealSeek(FPosition);
}

void TFileStreamBuffered::BeginRead() {
    if (FMode == bmWrite) {
        Flush();
    }
    FMode = bmRead;
    FStart = 0;
    FAvail = 0;
    FReadEnd = -1;
}

std::int32_t TFileStreamBuffered::ReadThrough(void* Buffer, std::int32_t Count) {
    if (FAhead <= 0) {
        const std::int32_t n = TFileStream::Read(Buffer, Count);
        FPosition += n;
        return n;
    }
    if (FMode != bmRead) {
        BeginRead();
    }
    if (!Buffer || Count <= 0) {
        return 0;
    }
    auto* dst = static_cast<std::uint8_t*>(Buffer);
    std::int32_t done = 0;
    while (done < Count) {
        if (FAvail == 0) {
            const std::int32_t wanted = Count - done;
            if (wanted >= FAhead) {
                // Large requests skip the copy through the buffer; what the
                // caller sees (bytes, position) is the same.
                FStart = 0;
                const std::int32_t n = ReadAt(dst + done, wanted, FPosition);
                if (n <= 0) {
                    break;
                }
                done += n;
                FPosition += n;
                continue;
            }
            if (Refill() == 0) {
                break;
            }
        }
        const std::int32_t n = std::min(Count - done, FAvail);
        std::memcpy(dst + done, FBuffer.get() + FStart, static_cast<std::size_t>(n));
        FStart += n;
        FAvail -= n;
        done += n;
        FPosition += n;
    }
    return done;
}

std::int32_t TFileStreamBuffered::Write(const void* Buffer, std::int32_t Count) {
    if (FAhead <= 0) {
        const std::int32_t n = TFileStream::Write(Buffer, Count);
        if (n > 0) {
            FPosition += n;
            FSize = std::max(FSize, FPosition);
        }
        return n;
    }
    if (FMode != bmWrite) {
        // Discards read-ahead and brings the handle to the logical position.
        FMode = bmWrite;
        RealSeek(FPosition);
    }
    if (!Buffer || Count <= 0) {
        return 0;
    }
    const auto* src = static_cast<const std::uint8_t*>(Buffer);
    std::int32_t done = 0;
    while (done < Count) {
        if (FAvail == 0) {
            Flush();
        }
        const std::int32_t n = std::min(Count - done, FAvail);
        std::memcpy(FBuffer.get() + FStart, src + done, static_cast<std::size_t>(n));
        FStart += n;
        FAvail -= n;
        done += n;
        // Advanced per piece so that a failing flush leaves the position
        // matching what the buffer holds.
        FPosition += n;
        FSize = std::max(FSize, FPosition);
    }
    return done;
}

std::uint8_t* TFileStreamBuffered::ReserveThrough(std::int32_t Count) {
    if (FAhead <= 0 || Count <= 0 || Count > FAhead) {
        return nullptr;
    }
    if (FMode != bmWrite) {
        FMode = bmWrite;
        RealSeek(FPosition);
    }
    // The bytes go in one piece: what is buffered goes out first when they do not fit behind it.
    if (FAvail < Count) {
        Flush();
    }
    return Reserve(Count);
}

std::int64_t TFileStreamBuffered::SeekThrough(std::int64_t Offset, TSeekOrigin Origin) {
    if (FAhead <= 0) {
        FPosition = TFileStream::Seek(Offset, Origin);
        return FPosition;
    }
    std::int64_t base = 0;
    switch (Origin) {
    case soBeginning:
        base = 0;
        break;
    case soCurrent:
        base = FPosition;
        break;
    case soEnd:
        base = FSize;
        break;
    }
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, Offset, &target) || target < 0) {
        throw EInOutError("Cannot seek in file \"" + FileName() + "\". Invalid position");
    }
    if (FMode == bmWrite) {
        Flush();
    }
    if (!StepInWindow(target)) {
        RealSeek(target);
    }
    return FPosition;
}

std::int32_t TFileStreamBuffered::LineWrite(const std::string& Line, const std::string& Break) {
    const std::string text = Line + Break;
    return Write(text.data(), static_cast<std::int32_t>(text.size()));
}

std::int32_t TFileStreamBuffered::LineRead(std::string& Line, const std::string& Break) {
    if (FAhead <= 0) {
        throw EInOutError("No lookahead defined");
    }
    if (Break.empty()) {
        throw EInOutError("No line break defined");
    }
    if (FMode != bmRead) {
        BeginRead();
    }
    Line.clear();
    std::int32_t consumed = 0;
    const char last = Break.back();
    for (;;) {
        if (FAvail == 0 && Refill() == 0) {
            break;
        }
        const char c = static_cast<char>(FBuffer[static_cast<std::size_t>(FStart)]);
        ++FStart;
        --FAvail;
        ++FPosition;
        ++consumed;
        Line.push_back(c);
        if (c == last && Line.size() >= Break.size() && Line.ends_with(Break)) {
            Line.resize(Line.size() - Break.size());
            break;
        }
    }
    return consumed;
}

std::unique_ptr<TFileStreamBuffered> CreateBuffered(const std::string& FileName, std::int32_t LookAhead,
                                                    bool& Created) {
    Created = false;
    try {
        auto stream = std::make_unique<TFileStreamBuffered>(FileName, fmCreate | fmCreateNew, LookAhead);
        Created = true;
        return stream;
    } catch (const EFCreateError&) {
        throw;  // nothing was made
    } catch (...) {
        Created = true;
        throw;
    }
}

// ---------------------------------------------------------------- TCopyStream

TCopyStream::TCopyStream(TStream& Source, TStream& Target) : FSource(Source), FTarget(Target) {
    FSource.SetPosition(0);
    FTarget.SetPosition(0);
}

std::int32_t TCopyStream::Read(void* Buffer, std::int32_t Count) {
    const std::int64_t pos = FSource.GetPosition();
    if (pos > Last) {
        // The reader skipped ahead: the skipped bytes still belong in the copy.
        FSource.SetPosition(Last);
        std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::int64_t>(pos - Last, 64 * 1024)));
        while (Last < pos) {
            const auto want =
                static_cast<std::int32_t>(std::min<std::int64_t>(pos - Last, static_cast<std::int64_t>(chunk.size())));
            const std::int32_t got = FSource.Read(chunk.data(), want);
            if (got <= 0) {
                break;  // skipped past the end of the source: nothing more exists to copy
            }
            FTarget.WriteBuffer(chunk.data(), got);
            Last += got;
        }
        Last = std::max(Last, pos);
        FSource.SetPosition(pos);
    }
    const std::int32_t n = FSource.Read(Buffer, Count);
    if (n > 0 && pos + n > Last) {
        const auto skip = static_cast<std::int32_t>(Last - pos);
        FTarget.WriteBuffer(static_cast<const std::uint8_t*>(Buffer) + skip, n - skip);
        Last = pos + n;
    }
    return n;
}
