#pragma once
// An owned operating-system file handle with the few operations the streams
// need: POSIX file descriptors, or kernel handles in the DLL build.
//
// Failures that a caller cannot otherwise tell apart from a normal result
// (open, seek, size, a failed read that would look like the end of the file)
// raise EInOutError with the file name and the system's reason. A short write
// is reported by its count, so that buffered writers can keep what was not
// written and say so in their own words.

#include "Exception.h"

#include <cstdint>
#include <string>

class TFileHandle {
public:
#ifdef _WIN32
    using TNative = void*;  // HANDLE
#else
    using TNative = int;
#endif
    static const TNative InvalidNative;

    enum TAccess { faRead, faWrite, faReadWrite };
    // What other openers of the same file may do meanwhile. Honoured in the
    // DLL build; POSIX has no mandatory sharing modes, so there it only
    // documents the intent.
    enum TShare { fsExclusive, fsDenyWrite, fsDenyRead, fsDenyNone };

    TFileHandle() noexcept = default;
    ~TFileHandle();
    TFileHandle(TFileHandle&& other) noexcept;
    TFileHandle& operator=(TFileHandle&& other) noexcept;
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;

    // Opens an existing file. On failure returns false and, when Reason is
    // given, stores the system's explanation there. Directories are refused.
    bool TryOpen(const std::string& FileName, TAccess Access, TShare Share, std::string* Reason = nullptr);
    // Creates the file, or truncates it to zero bytes, for reading and writing.
    // New: only a file that is not there yet; a name in use, even by a
    // symbolic link to nowhere, fails and is left as it is.
    bool TryCreate(const std::string& FileName, TShare Share, std::string* Reason = nullptr, bool New = false);

    // Throwing forms: EInOutError "Cannot open file \"name\". reason" and
    // "Cannot create file \"name\". reason".
    void Open(const std::string& FileName, TAccess Access, TShare Share);
    void Create(const std::string& FileName, TShare Share);

    bool IsOpen() const noexcept { return FHandle != InvalidNative; }
    TNative Native() const noexcept { return FHandle; }
    const std::string& FileName() const noexcept { return FFileName; }
    void Close() noexcept;

    // Reads up to Count bytes; returns how many arrived, 0 at the end of the file.
    std::int32_t Read(void* Buffer, std::int32_t Count);
    // The same from byte Offset of the file, in one call to the system; the
    // file position is left undefined.
    std::int32_t ReadAt(void* Buffer, std::int32_t Count, std::int64_t Offset);
    // Writes up to Count bytes; returns how many were written (fewer on a full disk).
    std::int32_t Write(const void* Buffer, std::int32_t Count);
    // Moves the file position; Origin 0, 1, 2 = from start, current, end.
    std::int64_t Seek(std::int64_t Offset, int Origin);
    std::int64_t Size() const;
    // Sets the file's length; the file position is left where it was.
    void Truncate(std::int64_t NewSize);

    static bool Exists(const std::string& FileName);
    // What a name stands for in its folder, a symbolic link (or any other
    // redirection) taken as itself, not as what it leads to. Unknown: the
    // system could not say, which is no answer either way.
    enum TEntryKind { ekNone, ekFile, ekLink, ekOther, ekUnknown };
    static TEntryKind EntryKind(const std::string& FileName);
    // Replaces NewName by OldName in one step where the system allows it.
    static void RenameReplace(const std::string& OldName, const std::string& NewName);
    static void Delete(const std::string& FileName);
    // Text of the system's last error (errno / GetLastError) at this moment.
    static std::string SystemErrorText();

private:
    [[noreturn]] void Fail(const char* What) const;
    // Takes over a freshly opened handle, or reports why there is none.
    bool Adopt(TNative Handle, const std::string& FileName, std::string* Reason);

    TNative FHandle = InvalidNative;
    std::string FFileName;
};
