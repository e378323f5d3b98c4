#pragma once
// Byte streams in the shape the system's code expects of its runtime:
// an abstract stream, a stream over an owned file handle, a named-file stream
// with open modes and sharing flags, and a stream over memory.

#include "Exception.h"
#include "FileHandle.h"

#include <cstdint>
#include <string>
#include <vector>

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

// Open modes: the low nibble is the access, the next nibble the sharing.
constexpr std::uint16_t fmCreate = 0xFF00;
constexpr std::uint16_t fmOpenRead = 0x0000;
constexpr std::uint16_t fmOpenWrite = 0x0001;
constexpr std::uint16_t fmOpenReadWrite = 0x0002;
constexpr std::uint16_t fmShareCompat = 0x0000;
constexpr std::uint16_t fmShareExclusive = 0x0010;
constexpr std::uint16_t fmShareDenyWrite = 0x0020;
constexpr std::uint16_t fmShareDenyRead = 0x0030;
constexpr std::uint16_t fmShareDenyNone = 0x0040;
// With fmCreate: only a file that does not exist yet; any name in use fails.
constexpr std::uint16_t fmCreateNew = 0x0080;

// Stream failures. They derive from the input/output error class; the name
// EStreamError is left to the reader's own exception family.
class EFOpenError : public EInOutError {
public:
    using EInOutError::EInOutError;
};
class EFCreateError : public EInOutError {
public:
    using EInOutError::EInOutError;
};
class EReadError : public EInOutError {
public:
    using EInOutError::EInOutError;
};
class EWriteError : public EInOutError {
public:
    using EInOutError::EInOutError;
};

class TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream() = default;

    // Read and Write transfer up to Count bytes and return how many they did;
    // fewer than asked is not an error at this level.
    virtual std::int32_t Read(void* Buffer, std::int32_t Count) = 0;
    virtual std::int32_t Write(const void* Buffer, std::int32_t Count) = 0;
    virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;
    virtual std::int64_t GetSize();
    virtual void SetSize(std::int64_t NewSize);

    std::int64_t GetPosition() { return Seek(0, soCurrent); }
    void SetPosition(std::int64_t Pos) { Seek(Pos, soBeginning); }

    // All or nothing: EReadError "Stream read error" / EWriteError
    // "Stream write error" when fewer than Count bytes move.
    void ReadBuffer(void* Buffer, std::int32_t Count);
    void WriteBuffer(const void* Buffer, std::int32_t Count);
    // Copies Count bytes from Source's position; Count 0 copies all of Source
    // from its beginning. Returns the count copied.
    std::int64_t CopyFrom(TStream& Source, std::int64_t Count);
};

// A stream over an owned file handle; closes it on destruction.
class THandleStream : public TStream {
public:
    explicit THandleStream(TFileHandle Handle);

    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    // Reads from byte Offset without moving to it first; the position is undefined after it.
    std::int32_t ReadAt(void* Buffer, std::int32_t Count, std::int64_t Offset);
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    std::int64_t GetSize() override;
    void SetSize(std::int64_t NewSize) override;

    TFileHandle::TNative Handle() const noexcept { return FHandle.Native(); }
    // Number of Read calls that reached the file; lets tests and
    // benchmarks see what a buffer in front of this stream saves.
    std::uint64_t ReadCalls() const noexcept { return FReadCalls; }

protected:
    THandleStream() = default;
    TFileHandle FHandle;

private:
    std::uint64_t FReadCalls = 0;
};

class TFileStream : public THandleStream {
public:
    // Mode: fmCreate, or an fmOpen... access or-ed with an fmShare... flag.
    // Failures: EFOpenError "Cannot open file \"name\". reason" or
    // EFCreateError "Cannot create file \"name\". reason".
    TFileStream(const std::string& FileName, std::uint16_t Mode);

    const std::string& FileName() const noexcept { return FFileName; }

private:
    std::string FFileName;
};

// A growable stream in memory.
class TMemoryStream : public TStream {
public:
    std::int32_t Read(void* Buffer, std::int32_t Count) override;
    std::int32_t Write(const void* Buffer, std::int32_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    std::int64_t GetSize() override { return static_cast<std::int64_t>(FData.size()); }
    void SetSize(std::int64_t NewSize) override;

    void Clear();
    std::uint8_t* Memory() noexcept { return FData.data(); }
    const std::uint8_t* Memory() const noexcept { return FData.data(); }

private:
    std::vector<std::uint8_t> FData;
    std::int64_t FPosition = 0;
};
