#pragma once
// Index files (".idx") for tests, written byte by byte in little-endian order
// from the index layout, independently of the reader's own index code:
//   header: size (4), major (2), minor (2), flags (4)
//   entry:  1.0, 2.0: external time (5), position (8)
//           1.1:      external time (5), position (8), internal time (6)
//           3.0:      external time (5), position (8), 3 spare bytes
//           4.0:      external time (8), position (8)
// Versions outside this list are written with 1.1 entries, so that a reader
// has something to refuse.

#include <cstdint>
#include <string>
#include <vector>

struct TIndexEntry {
    std::uint64_t TimeExt = 0;  // microseconds
    std::int64_t Position = 0;  // size word of the record
    std::uint64_t TimeInt = 0;  // 4-ns ticks (1.1 only)
};

struct TIndexFile {
    std::uint32_t HeaderSize = 12;
    std::uint16_t Major = 1, Minor = 1;
    std::uint32_t Flags = 0;
    std::vector<TIndexEntry> Entries;
    std::vector<std::uint8_t> Trailing;  // bytes after the last entry (a partial entry)

    std::vector<std::uint8_t> Encode() const;
    void Write(const std::string& Path) const;
    static std::int32_t EntrySize(std::uint16_t Major, std::uint16_t Minor);
};

class TRecordingWriter;

// One 1.1 entry per record the writer wrote, as an index builder would make them.
std::vector<TIndexEntry> EntriesOf(const TRecordingWriter& Writer);
