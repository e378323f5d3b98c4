#include "IndexWriter.h"

#include <cstdio>
#include <stdexcept>

#include "RecordingWriter.h"

namespace {

void PutLE(std::vector<std::uint8_t>& Buf, std::uint64_t Value, int Bytes) {
    for (int I = 0; I < Bytes; ++I) Buf.push_back(std::uint8_t(Value >> (8 * I)));
}

}  // namespace

std::int32_t TIndexFile::EntrySize(std::uint16_t Major, std::uint16_t Minor) {
    if ((Major == 1 && Minor == 0) || (Major == 2 && Minor == 0)) return 13;
    if (Major == 3 && Minor == 0) return 16;
    if (Major == 4 && Minor == 0) return 16;
    return 19;
}

std::vector<std::uint8_t> TIndexFile::Encode() const {
    std::vector<std::uint8_t> B;
    PutLE(B, HeaderSize, 4);
    PutLE(B, Major, 2);
    PutLE(B, Minor, 2);
    PutLE(B, Flags, 4);
    const std::int32_t Size = EntrySize(Major, Minor);
    for (const TIndexEntry& E : Entries) {
        if (Major == 4 && Minor == 0) {
            PutLE(B, E.TimeExt, 8);
            PutLE(B, std::uint64_t(E.Position), 8);
            continue;
        }
        PutLE(B, E.TimeExt, 5);
        PutLE(B, std::uint64_t(E.Position), 8);
        if (Size == 19) PutLE(B, E.TimeInt, 6);
        if (Size == 16) PutLE(B, 0, 3);
    }
    B.insert(B.end(), Trailing.begin(), Trailing.end());
    return B;
}

void TIndexFile::Write(const std::string& Path) const {
    const std::vector<std::uint8_t> B = Encode();
    std::FILE* F = std::fopen(Path.c_str(), "wb");
    if (!F) throw std::runtime_error("IndexWriter: cannot create " + Path);
    const bool Ok = std::fwrite(B.data(), 1, B.size(), F) == B.size();
    if (std::fclose(F) != 0 || !Ok) throw std::runtime_error("IndexWriter: cannot write " + Path);
}

std::vector<TIndexEntry> EntriesOf(const TRecordingWriter& Writer) {
    std::vector<TIndexEntry> E;
    for (const TRecordInfo& R : Writer.Records())
        E.push_back({std::uint64_t(R.TimeUs), R.SizeWord, std::uint64_t(R.Time4ns)});
    return E;
}
