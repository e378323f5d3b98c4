#include "KQMIndex.h"

#include <algorithm>
#include <cctype>

#include "Buffer.h"
#include "FileHandle.h"

namespace {

std::uint64_t LE(const std::uint8_t* p, int n) {
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Reading a recording visits the entries of a record and its neighbours,
// one after the other; a window of a couple of dozen entries serves them
// from memory and costs a random seek little more than one entry would (a
// page-sized one costs the kernel's copy of the whole page). Reading on in
// order widens the window, so a walk through the index stays cheap.
constexpr std::int32_t INDEX_LOOK_AHEAD = 512;
constexpr std::int32_t INDEX_GROWTH = 65536;
constexpr std::int64_t LOOK_BEHIND = 2;  // entries read before the one asked for

std::int32_t EntrySize(std::uint16_t Major, std::uint16_t Minor) {
    if (Major == 1 && Minor == 0) return 13;
    if (Major == 1 && Minor == 1) return 19;
    if (Major == 2 && Minor == 0) return 13;
    if (Major == 3 && Minor == 0) return 16;
    if (Major == 4 && Minor == 0) return 16;
    return 0;
}

}  // namespace

void IndexError(const std::string& Text, std::int32_t Code) { throw EIndex(Text, Code); }

TIndexFileLook LookAtIndexFile(const std::string& FileName) {
    TIndexFileLook L;
    try {
        TFileHandle F;
        if (!F.TryOpen(FileName, TFileHandle::faRead, TFileHandle::fsDenyNone, &L.Reason)) return L;
        L.Size = F.Size();
        std::uint8_t B[INDEX_HEADER_SIZE];
        std::int32_t Got = 0;
        while (Got < INDEX_HEADER_SIZE) {
            const std::int32_t N = F.Read(B + Got, INDEX_HEADER_SIZE - Got);
            if (N <= 0) break;
            Got += N;
        }
        L.Readable = true;
        if (Got < INDEX_HEADER_SIZE) return L;
        const std::int32_t RecSize = EntrySize(std::uint16_t(LE(B + 4, 2)), std::uint16_t(LE(B + 6, 2)));
        L.Header = LE(B, 4) == std::uint64_t(INDEX_HEADER_SIZE) && RecSize > 0;
        L.Finished = L.Header && (LE(B + 8, 4) & INDEX_FLAG_INVALID) == 0;
        L.Whole = L.Header && L.Size >= INDEX_HEADER_SIZE && (L.Size - INDEX_HEADER_SIZE) % RecSize == 0;
    } catch (const std::exception& E) {
        L.Readable = false;
        L.Reason = E.what();
    }
    return L;
}

TIndex::TIndex() = default;

TIndex::TIndex(const std::string& FileIdx) { Open(FileIdx); }

TIndex::~TIndex() { Close(); }

namespace {

// The position of the name's last dot when it belongs to the file name, not
// to a folder, else npos; and the extension from there, lower-cased.
std::string::size_type ExtensionDot(const std::string& Name) {
    const auto Slash = Name.find_last_of("/\\");
    const auto Dot = Name.find_last_of('.');
    return Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash) ? std::string::npos : Dot;
}

std::string LowerExtension(const std::string& Name, std::string::size_type Dot) {
    std::string Ext = Dot == std::string::npos ? std::string() : Name.substr(Dot);
    std::transform(Ext.begin(), Ext.end(), Ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return Ext;
}

}  // namespace

std::string IndexNameBeside(const std::string& Recording, TOtherExtension Other) {
    const auto Dot = ExtensionDot(Recording);
    if (Dot == std::string::npos) return Recording + ".idx";
    if (Other == TOtherExtension::Kept && LowerExtension(Recording, Dot) != ".kqm") return Recording + ".idx";
    return Recording.substr(0, Dot) + ".idx";
}

std::string TIndex::IndexFileName(const std::string& FileIdx) {
    if (LowerExtension(FileIdx, ExtensionDot(FileIdx)) == ".idx") return FileIdx;
    return IndexNameBeside(FileIdx, TOtherExtension::Kept);
}

void TIndex::Open(const std::string& FileIdx) {
    const std::string Name = IndexFileName(FileIdx);
    try {
        Stream = std::make_unique<TFileStreamBuffered>(Name, fmOpenRead | fmShareDenyWrite, INDEX_LOOK_AHEAD);
        Stream->SetGrowth(INDEX_GROWTH);
    } catch (const Exception& E) {
        IndexError(E.Message(), 1);
    }

    std::uint8_t B[4];
    if (Stream->Read(B, 4) != 4) IndexError("Cannot read IndexHeaderSize", 1);
    FHeaderSize = std::uint32_t(LE(B, 4));
    if (Stream->Read(B, 2) != 2) IndexError("Cannot read IndexHeaderVersion", 1);
    FHeaderMajor = std::uint16_t(LE(B, 2));
    if (Stream->Read(B, 2) != 2) IndexError("Cannot read IndexHeaderVersion", 1);
    FHeaderMinor = std::uint16_t(LE(B, 2));
    if (Stream->Read(B, 4) != 4) IndexError("Cannot read IndexHeaderFlags", 1);
    FHeaderFlags = std::uint32_t(LE(B, 4));

    FRecSize = EntrySize(FHeaderMajor, FHeaderMinor);
    if (FRecSize == 0) IndexErrorFmt("Cannot decode version %d.%d", 1, FHeaderMajor, FHeaderMinor);

    // The entries follow the 12 bytes just read, whatever the header-size field claims.
    FStart = Stream->GetPosition();
    FData.assign(std::size_t(FRecSize), 0);
    FCount = (Stream->GetSize() - FStart) / FRecSize;
    UTCFirst = UTCLast = 0;
    FFileName = Name;

    if (FCount > 0) {
        Last();
        UTCLast = GetTimeStamp();
        First();
        UTCFirst = GetTimeStamp();
    }

    if (FHeaderFlags & INDEX_FLAG_INVALID) IndexError("Index is invalid", 1);
}

void TIndex::Close() {
    Stream.reset();
    FData.clear();
    FData.shrink_to_fit();
    FCount = 0;
    FBlock = 0;
    FFileName.clear();
}

void TIndex::ReadEntry() {
    // A short read (no entries, or a file cut behind our back) must not leave
    // the previous entry's bytes looking like this one.
    const auto Got = Stream->Read(FData.data(), FRecSize);
    const std::size_t Kept = Got > 0 ? std::size_t(Got) : 0;
    std::fill(FData.begin() + std::ptrdiff_t(Kept), FData.end(), std::uint8_t(0));
}

std::int64_t TIndex::Seek(std::int64_t Block) {
    FEOF = Block > FCount;
    FBOF = Block < 1;
    if (Block > FCount) Block = FCount;
    if (Block < 1) Block = 1;
    const std::int64_t At = FStart + (Block - 1) * FRecSize;
    if (!Stream->Window(At, FRecSize)) {
        // Readers ask for an entry's neighbours next, the one before it
        // included: the read that brings the entry starts a little earlier.
        const std::int32_t Before = std::int32_t(std::min<std::int64_t>(Block - 1, LOOK_BEHIND) * FRecSize);
        if (Before > 0) {
            std::uint8_t Skipped[LOOK_BEHIND * 32];
            Stream->Seek(At - Before, soBeginning);
            Stream->Read(Skipped, Before);
        }
    }
    Stream->Seek(At, soBeginning);
    ReadEntry();
    FBlock = Block;
    return GetFilePosition();
}

void TIndex::ReadFollowing() {
    ReadEntry();
    ++FBlock;
}

std::int64_t TIndex::GetTimeStamp() const {
    if (FHeaderMajor == 4) return std::int64_t(LE(FData.data(), 8));
    return std::int64_t(LE(FData.data(), 5));
}

std::int64_t TIndex::GetFilePosition() const {
    const std::uint8_t* P = FData.data() + (FHeaderMajor == 4 ? 8 : 5);
    return std::int64_t(LE(P, 8)) + FOffset;
}

std::int64_t TIndex::GetTimeInternal() const {
    if (!HasInternalTime()) IndexError("Internal timestamp not supported", 1);
    return std::int64_t(LE(FData.data() + 13, 6));
}

std::int64_t TIndex::Find(std::int64_t UTC) {
    if (FCount <= 0) IndexError("Index is empty", 1);

    std::int64_t MeasA = 1, MeasB = FCount;
    std::int64_t TimeA = UTCFirst, TimeB = UTCLast;

    if (UTC < TimeA) return First();
    if (UTC > TimeB) IndexErrorFmt("Time stamp out of range (%d)", 1, UTC);

    // Equal bounds leave nothing to interpolate (and would divide by zero):
    // the forward scan from entry 1 finds the entry.
    const bool Interpolate = TimeA != TimeB;
    while (Interpolate) {
        // Differences taken in long double: 8-byte stamps may lie further apart than int64 reaches.
        const long double Ratio = (static_cast<long double>(UTC) - static_cast<long double>(TimeA)) /
                                  (static_cast<long double>(TimeB) - static_cast<long double>(TimeA));
        const float Fact = static_cast<float>(Ratio);
        const std::int64_t MeasX = MeasA + static_cast<std::int64_t>(static_cast<long double>(MeasB - MeasA) * Fact);
        Seek(MeasX);
        const std::int64_t TimeX = GetTimeStamp();
        if (MeasB - 10 <= MeasA || MeasA + 5 >= MeasX) break;
        if (MeasX == MeasB) {
            MeasA = MeasB;
            break;
        }
        if (TimeX > UTC) {
            MeasB = MeasX;
            TimeB = TimeX;
        } else if (TimeX < UTC) {
            MeasA = MeasX;
            TimeA = TimeX;
        } else {
            MeasA = MeasX;
            break;
        }
    }

    if (!Interpolate || GetTimeStamp() != UTC) {
        Seek(MeasA);
        // Bounded by the count so that stamps that go backwards cannot run the scan off the end.
        while (GetTimeStamp() < UTC && FBlock < FCount) ReadFollowing();
    }
    return GetFilePosition();
}

std::int64_t TIndex::FindInternal(std::int64_t TS) {
    if (!HasInternalTime()) IndexError("Internal timestamp not supported", 1);
    if (FCount <= 0) IndexError("Index is empty", 1);

    Last();
    std::int64_t MeasB = FCount;
    First();
    std::int64_t MeasA = 1;
    while (MeasB - 1 > MeasA) {
        const std::int64_t MeasX = MeasA + (MeasB - MeasA) / 2;
        Seek(MeasX);
        if (GetTimeInternal() > TS)
            MeasB = MeasX;
        else
            MeasA = MeasX;
    }
    Seek(MeasA > 1 ? MeasA - 1 : MeasA);
    while (GetTimeInternal() < TS && FBlock < FCount) Next(1);
    return GetFilePosition();
}
