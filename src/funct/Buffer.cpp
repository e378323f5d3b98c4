#include "Buffer.h"

#include <algorithm>
#include <cstring>
#include <vector>

// Buffer invariants (the handle is the file's own position):
//   read mode:  FBuffer[0 .. FStart+FAvail) holds the file bytes
//               [FPosition-FStart, FPosition+FAvail); handle = FPosition+FAvail.
//   write mode: FBuffer[0 .. FStart) holds the bytes for
//               [FPosition-FStart, FPosition); handle = FPosition-FStart.
//   undefined mode: nothing buffered; handle = FPosition.

TFileStreamBuffered::TFileStreamBuffered(const std::string& FileName, std::uint16_t FileMode, std::int32_t LookAhead)
    : TFileStream(FileName, FileMode), FAhead(LookAhead) {
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
    FPosition = TFileStream::Seek(Pos, soBeginning);
    FStart = 0;
    FAvail = (FMode == bmWrite && FAhead > 0) ? FAhead : 0;
}

std::int32_t TFileStreamBuffered::Refill() {
    // The last bytes read stay in front of the new ones: a reader stepping
    // back a little (to the record before, to a sync word across the border)
    // finds them still buffered instead of seeking and reading again. A
    // quarter of the buffer, and no more than a few records' worth: more
    // would only be copied around.
    constexpr std::int32_t maxKeep = 4096;
    const std::int32_t keep = std::min({FStart, FAhead / 4, maxKeep});
    if (keep > 0) {
        std::memmove(FBuffer.get(), FBuffer.get() + (FStart - keep), static_cast<std::size_t>(keep));
    }
    FStart = keep;
    FAvail = 0;
    FAvail = TFileStream::Read(FBuffer.get() + keep, FAhead - keep);
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
    if (LookAhead == FAhead) {
        return;
    }
    if (FMode == bmWrite) {
        Flush();
    }
    std::unique_ptr<std::uint8_t[]> buffer;
    if (LookAhead > 0) {
        buffer = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(LookAhead));
    }
    // The seek comes before the swap: when it fails, the old buffer still
    // matches the handle, and the stream reads on as if nothing was asked.
    RealSeek(FPosition);
    FBuffer = std::move(buffer);
    FAhead = LookAhead;
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
                const std::int32_t n = TFileStream::Read(dst + done, wanted);
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
    if (FMode != bmRead) {
        if (FMode == bmWrite) {
            Flush();
        }
        RealSeek(target);
        return FPosition;
    }
    // Anywhere inside the buffered window, backwards included, costs nothing.
    if (target >= FPosition - FStart && target <= FPosition + FAvail) {
        const auto delta = static_cast<std::int32_t>(target - FPosition);
        FStart += delta;
        FAvail -= delta;
        FPosition = target;
        return FPosition;
    }
    RealSeek(target);
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
