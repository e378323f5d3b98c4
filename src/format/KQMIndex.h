#pragma once
// Index file beside a recording: one fixed-size little-endian entry per
// measurement record, with a cursor and lookups by entry number, external
// time and internal time.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Exception.h"
#include "Format.h"

class TFileStreamBuffered;

// Header: header size (4), version major (2), version minor (2), flags (4).
constexpr std::int32_t INDEX_HEADER_SIZE = 12;
constexpr std::uint32_t INDEX_FLAG_INVALID = 1;  // set while the file is being built
constexpr std::int32_t INDEX_RECORD_SIZE_1_0 = 13;
constexpr std::int32_t INDEX_RECORD_SIZE_1_1 = 19;

class EIndex : public Exception {
public:
    explicit EIndex(const std::string& Text, std::int32_t Code = 1) : Exception(Text), CODE(Code), TEXT(Text) {}

    std::int32_t CODE;
    std::string TEXT;
};

// The index file that every writer puts beside a recording: its extension
// replaced by ".idx", always in lower case whatever the recording's case.
// Where other extensions are kept (the standalone builders, and the name
// rule of TIndex::IndexFileName), only ".kqm" is replaced and any other name
// gets ".idx" appended.
enum class TOtherExtension { Replaced, Kept };
std::string IndexNameBeside(const std::string& Recording, TOtherExtension Other);

// What the first bytes of a file say of it as an index, read without
// raising anything. Header: the header size and a version this reader
// knows; Finished: its build completed (the invalid flag is clear); Whole:
// nothing after the header but whole entries. A file that cannot be read
// says nothing (Readable false, Reason the system's text).
struct TIndexFileLook {
    bool Readable = false;
    std::int64_t Size = 0;
    bool Header = false;
    bool Finished = false;
    bool Whole = false;
    std::string Reason;

    // An index that a build finished and nothing else: one to remove or replace.
    bool CompleteIndex() const { return Header && Finished && Whole; }
};
TIndexFileLook LookAtIndexFile(const std::string& FileName);

// Raise EIndex with a plain or a formatted text.
[[noreturn]] void IndexError(const std::string& Text, std::int32_t Code = 1);
template <class... A>
[[noreturn]] void IndexErrorFmt(std::string_view Fmt, std::int32_t Code, const A&... Vals) {
    IndexError(Format(Fmt, Vals...), Code);
}

class TIndex {
public:
    TIndex();
    explicit TIndex(const std::string& FileIdx);
    ~TIndex();
    TIndex(const TIndex&) = delete;
    TIndex& operator=(const TIndex&) = delete;

    // The index file that belongs to a name: ".idx" stays, ".kqm" becomes
    // ".idx", anything else gets ".idx" appended.
    static std::string IndexFileName(const std::string& FileIdx);

    void Open(const std::string& FileIdx);
    void Close();
    bool Active() const { return Stream != nullptr; }

    // Positioning: each makes the chosen entry current and returns its file position.
    std::int64_t Seek(std::int64_t Block);
    std::int64_t Next(std::int64_t Count = 1) { return Seek(FBlock + Count); }
    std::int64_t Back(std::int64_t Count = 1) { return Seek(FBlock - Count); }
    std::int64_t First() { return Seek(0); }
    std::int64_t Last() { return Seek(FCount + 1); }
    std::int64_t Find(std::int64_t UTC);
    std::int64_t FindInternal(std::int64_t TS);

    // The current entry.
    std::int64_t GetTimeStamp() const;
    std::int64_t GetFilePosition() const;
    std::int64_t GetTimeInternal() const;

    bool HasInternalTime() const { return FHeaderMajor == 1 && FHeaderMinor >= 1; }

    // The file's header.
    std::uint32_t HeaderFlags() const { return FHeaderFlags; }
    std::uint16_t HeaderMajor() const { return FHeaderMajor; }
    std::uint16_t HeaderMinor() const { return FHeaderMinor; }
    std::uint32_t HeaderSize() const { return FHeaderSize; }
    std::int32_t RecordSize() const { return FRecSize; }
    const std::string& FileName() const { return FFileName; }

    // The cursor: the current entry (1 .. Count, 0 when there is none) and
    // whether the last positioning asked for an entry past either end.
    std::int64_t Block() const { return FBlock; }
    std::int64_t Count() const { return FCount; }
    bool Eof() const { return FEOF; }
    bool Bof() const { return FBOF; }

    // External times of the first and last entries (0 for an empty index).
    std::int64_t FirstTime() const { return UTCFirst; }
    std::int64_t LastTime() const { return UTCLast; }

    // Added to every file position the entries hold: an index that points at
    // the size word of records framed with a 4-byte sync word is read with -4.
    std::int32_t Offset() const { return FOffset; }
    void SetOffset(std::int32_t Offset) { FOffset = Offset; }

private:
    // Reads the entry that follows the current one straight from the stream.
    void ReadFollowing();
    void ReadEntry();

    std::uint32_t FHeaderFlags = 0;
    std::uint16_t FHeaderMajor = 0;
    std::uint16_t FHeaderMinor = 0;
    std::uint32_t FHeaderSize = 0;
    std::unique_ptr<TFileStreamBuffered> Stream;
    std::int64_t FStart = 0;
    std::vector<std::uint8_t> FData;
    std::int64_t FBlock = 0;
    std::int64_t FCount = 0;
    bool FEOF = false;
    bool FBOF = false;
    std::string FFileName;
    std::int32_t FOffset = 0;
    std::int32_t FRecSize = 0;
    std::int64_t UTCFirst = 0;
    std::int64_t UTCLast = 0;
};
