#include "Stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

// ---------------------------------------------------------------- TStream

std::int64_t TStream::GetSize() {
    const std::int64_t pos = Seek(0, soCurrent);
    const std::int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::SetSize(std::int64_t /*NewSize*/) { throw EInOutError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* Buffer, std::int32_t Count) {
    if (Count > 0 && Read(Buffer, Count) != Count) {
        throw EReadError("Stream read error");
    }
}

void TStream::WriteBuffer(const void* Buffer, std::int32_t Count) {
    if (Count > 0 && Write(Buffer, Count) != Count) {
        throw EWriteError("Stream write error");
    }
}

std::int64_t TStream::CopyFrom(TStream& Source, std::int64_t Count) {
    if (Count == 0) {
        Source.SetPosition(0);
        Count = Source.GetSize();
    }
    if (Count < 0) {
        throw EReadError("Stream read error");
    }
    constexpr std::int32_t kChunk = 64 * 1024;
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::int64_t>(Count, kChunk)));
    std::int64_t left = Count;
    while (left > 0) {
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(left, kChunk));
        Source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return Count;
}

// ---------------------------------------------------------------- THandleStream

THandleStream::THandleStream(TFileHandle Handle) : FHandle(std::move(Handle)) {}

std::int32_t THandleStream::Read(void* Buffer, std::int32_t Count) {
    if (!Buffer || Count <= 0) {
        return 0;
    }
    ++FReadCalls;
    return FHandle.Read(Buffer, Count);
}

std::int32_t THandleStream::ReadAt(void* Buffer, std::int32_t Count, std::int64_t Offset) {
    if (!Buffer || Count <= 0) {
        return 0;
    }
    ++FReadCalls;
    return FHandle.ReadAt(Buffer, Count, Offset);
}

std::int32_t THandleStream::Write(const void* Buffer, std::int32_t Count) {
    if (!Buffer || Count <= 0) {
        return 0;
    }
    return FHandle.Write(Buffer, Count);
}

std::int64_t THandleStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    return FHandle.Seek(Offset, static_cast<int>(Origin));
}

std::int64_t THandleStream::GetSize() { return FHandle.Size(); }

void THandleStream::SetSize(std::int64_t NewSize) { FHandle.Truncate(NewSize); }

// ---------------------------------------------------------------- TFileStream

namespace {

TFileHandle::TShare ShareOf(std::uint16_t Mode) {
    switch (Mode & 0x00F0) {
    case fmShareDenyWrite:
        return TFileHandle::fsDenyWrite;
    case fmShareDenyRead:
        return TFileHandle::fsDenyRead;
    case fmShareDenyNone:
        return TFileHandle::fsDenyNone;
    default:
        return TFileHandle::fsExclusive;  // exclusive and compatibility mode
    }
}

}  // namespace

TFileStream::TFileStream(const std::string& FileName, std::uint16_t Mode) : FFileName(FileName) {
    std::string reason;
    if ((Mode & fmCreate) == fmCreate) {
        // Creating with a sharing flag in the low byte keeps that flag.
        const std::uint16_t low = Mode & 0x007F;
        const bool fresh = (Mode & fmCreateNew) != 0;
        if (!FHandle.TryCreate(FileName, low ? ShareOf(low) : TFileHandle::fsExclusive, &reason, fresh)) {
            throw EFCreateError("Cannot create file \"" + FileName + "\". " + reason);
        }
        return;
    }
    TFileHandle::TAccess access = TFileHandle::faRead;
    switch (Mode & 0x000F) {
    case fmOpenRead:
        access = TFileHandle::faRead;
        break;
    case fmOpenWrite:
        access = TFileHandle::faWrite;
        break;
    case fmOpenReadWrite:
        access = TFileHandle::faReadWrite;
        break;
    default:
        throw EFOpenError("Cannot open file \"" + FileName + "\". Invalid open mode");
    }
    if (!FHandle.TryOpen(FileName, access, ShareOf(Mode), &reason)) {
        throw EFOpenError("Cannot open file \"" + FileName + "\". " + reason);
    }
}

// ---------------------------------------------------------------- TMemoryStream

std::int32_t TMemoryStream::Read(void* Buffer, std::int32_t Count) {
    const auto size = static_cast<std::int64_t>(FData.size());
    if (!Buffer || Count <= 0 || FPosition >= size) {
        return 0;
    }
    const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(Count, size - FPosition));
    std::memcpy(Buffer, FData.data() + FPosition, static_cast<std::size_t>(n));
    FPosition += n;
    return n;
}

std::int32_t TMemoryStream::Write(const void* Buffer, std::int32_t Count) {
    if (!Buffer || Count <= 0) {
        return 0;
    }
    if (FPosition > static_cast<std::int64_t>(FData.max_size()) - Count) {
        throw EWriteError("Stream write error");
    }
    const std::int64_t end = FPosition + Count;
    if (end > static_cast<std::int64_t>(FData.size())) {
        FData.resize(static_cast<std::size_t>(end));  // a gap after a seek past the end reads as zeros
    }
    std::memcpy(FData.data() + FPosition, Buffer, static_cast<std::size_t>(Count));
    FPosition = end;
    return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    std::int64_t base = 0;
    switch (Origin) {
    case soBeginning:
        base = 0;
        break;
    case soCurrent:
        base = FPosition;
        break;
    case soEnd:
        base = static_cast<std::int64_t>(FData.size());
        break;
    }
    if ((Offset > 0 && base > std::numeric_limits<std::int64_t>::max() - Offset) || base + Offset < 0) {
        throw EInOutError("Invalid stream position");
    }
    FPosition = base + Offset;
    return FPosition;
}

void TMemoryStream::SetSize(std::int64_t NewSize) {
    if (NewSize < 0 || NewSize > static_cast<std::int64_t>(FData.max_size())) {
        throw EInOutError("Invalid stream size");
    }
    FData.resize(static_cast<std::size_t>(NewSize));
    if (FPosition > NewSize) {
        FPosition = NewSize;
    }
}

void TMemoryStream::Clear() {
    FData.clear();
    FData.shrink_to_fit();
    FPosition = 0;
}
