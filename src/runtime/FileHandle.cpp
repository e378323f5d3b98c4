#include "FileHandle.h"

#include <utility>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32
const TFileHandle::TNative TFileHandle::InvalidNative = INVALID_HANDLE_VALUE;
#else
const TFileHandle::TNative TFileHandle::InvalidNative = -1;
#endif

TFileHandle::~TFileHandle() { Close(); }

TFileHandle::TFileHandle(TFileHandle&& other) noexcept
    : FHandle(std::exchange(other.FHandle, InvalidNative)), FFileName(std::move(other.FFileName)) {}

TFileHandle& TFileHandle::operator=(TFileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        FHandle = std::exchange(other.FHandle, InvalidNative);
        FFileName = std::move(other.FFileName);
    }
    return *this;
}

void TFileHandle::Open(const std::string& FileName, TAccess Access, TShare Share) {
    std::string reason;
    if (!TryOpen(FileName, Access, Share, &reason)) {
        throw EInOutError("Cannot open file \"" + FileName + "\". " + reason);
    }
}

void TFileHandle::Create(const std::string& FileName, TShare Share) {
    std::string reason;
    if (!TryCreate(FileName, Share, &reason)) {
        throw EInOutError("Cannot create file \"" + FileName + "\". " + reason);
    }
}

void TFileHandle::Fail(const char* What) const {
    const std::string reason = SystemErrorText();  // before anything can touch errno
    throw EInOutError(std::string(What) + " \"" + FFileName + "\". " + reason);
}

bool TFileHandle::Adopt(TNative Handle, const std::string& FileName, std::string* Reason) {
    if (Handle == InvalidNative) {
        if (Reason) {
            *Reason = SystemErrorText();
        }
        return false;
    }
    FHandle = Handle;
    FFileName = FileName;
    return true;
}

#ifdef _WIN32

namespace {

DWORD ShareFlags(TFileHandle::TShare Share) {
    switch (Share) {
    case TFileHandle::fsExclusive:
        return 0;
    case TFileHandle::fsDenyWrite:
        return FILE_SHARE_READ;
    case TFileHandle::fsDenyRead:
        return FILE_SHARE_WRITE;
    case TFileHandle::fsDenyNone:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    }
    return 0;
}

}  // namespace

std::string TFileHandle::SystemErrorText() {
    const DWORD code = GetLastError();
    char* text = nullptr;
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = n && text ? std::string(text, n) : "System error " + std::to_string(code);
    if (text) {
        LocalFree(text);
    }
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ')) {
        result.pop_back();
    }
    return result;
}

bool TFileHandle::TryOpen(const std::string& FileName, TAccess Access, TShare Share, std::string* Reason) {
    Close();
    const DWORD access = Access == faRead    ? GENERIC_READ
                         : Access == faWrite ? GENERIC_WRITE
                                             : GENERIC_READ | GENERIC_WRITE;
    return Adopt(CreateFileA(FileName.c_str(), access, ShareFlags(Share), nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr),
                 FileName, Reason);
}

bool TFileHandle::TryCreate(const std::string& FileName, TShare Share, std::string* Reason, bool New) {
    Close();
    return Adopt(CreateFileA(FileName.c_str(), GENERIC_READ | GENERIC_WRITE, ShareFlags(Share), nullptr,
                             New ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
                 FileName, Reason);
}

void TFileHandle::Close() noexcept {
    if (FHandle != InvalidNative) {
        CloseHandle(FHandle);
        FHandle = InvalidNative;
    }
}

std::int32_t TFileHandle::Read(void* Buffer, std::int32_t Count) {
    if (Count <= 0) {
        return 0;
    }
    DWORD got = 0;
    if (!ReadFile(FHandle, Buffer, static_cast<DWORD>(Count), &got, nullptr)) {
        Fail("Cannot read file");
    }
    return static_cast<std::int32_t>(got);
}

std::int32_t TFileHandle::ReadAt(void* Buffer, std::int32_t Count, std::int64_t Offset) {
    if (Count <= 0) {
        return 0;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(Offset));
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(Offset) >> 32);
    DWORD got = 0;
    if (!ReadFile(FHandle, Buffer, static_cast<DWORD>(Count), &got, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF) {
            return 0;
        }
        Fail("Cannot read file");
    }
    return static_cast<std::int32_t>(got);
}

std::int32_t TFileHandle::Write(const void* Buffer, std::int32_t Count) {
    std::int32_t done = 0;
    const char* p = static_cast<const char*>(Buffer);
    while (done < Count) {
        DWORD put = 0;
        if (!WriteFile(FHandle, p + done, static_cast<DWORD>(Count - done), &put, nullptr) || put == 0) {
            break;
        }
        done += static_cast<std::int32_t>(put);
    }
    return done;
}

std::int64_t TFileHandle::Seek(std::int64_t Offset, int Origin) {
    LARGE_INTEGER dist;
    dist.QuadPart = Offset;
    LARGE_INTEGER pos;
    const DWORD method = Origin == 0 ? FILE_BEGIN : Origin == 1 ? FILE_CURRENT : FILE_END;
    if (!SetFilePointerEx(FHandle, dist, &pos, method)) {
        Fail("Cannot seek in file");
    }
    return pos.QuadPart;
}

std::int64_t TFileHandle::Size() const {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(FHandle, &size)) {
        Fail("Cannot get the size of file");
    }
    return size.QuadPart;
}

void TFileHandle::Truncate(std::int64_t NewSize) {
    const std::int64_t keep = Seek(0, 1);
    Seek(NewSize, 0);
    if (!SetEndOfFile(FHandle)) {
        Fail("Cannot set the size of file");
    }
    Seek(keep, 0);
}

bool TFileHandle::Exists(const std::string& FileName) {
    const DWORD attr = GetFileAttributesA(FileName.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

TFileHandle::TEntryKind TFileHandle::EntryKind(const std::string& FileName) {
    const DWORD attr = GetFileAttributesA(FileName.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? ekNone : ekUnknown;
    }
    // Symbolic links and junctions are reparse points; the attributes are the link's own.
    if (attr & FILE_ATTRIBUTE_REPARSE_POINT) {
        return ekLink;
    }
    return attr & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE) ? ekOther : ekFile;
}

void TFileHandle::RenameReplace(const std::string& OldName, const std::string& NewName) {
    if (!MoveFileExA(OldName.c_str(), NewName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const std::string reason = SystemErrorText();
        throw EInOutError("Cannot rename file \"" + OldName + "\" to \"" + NewName + "\". " + reason);
    }
}

void TFileHandle::Delete(const std::string& FileName) {
    if (!DeleteFileA(FileName.c_str())) {
        const std::string reason = SystemErrorText();
        throw EInOutError("Cannot delete file \"" + FileName + "\". " + reason);
    }
}

#else  // POSIX

std::string TFileHandle::SystemErrorText() { return std::strerror(errno); }

bool TFileHandle::TryOpen(const std::string& FileName, TAccess Access, TShare /*Share*/, std::string* Reason) {
    Close();
    const int flags = (Access == faRead ? O_RDONLY : Access == faWrite ? O_WRONLY : O_RDWR) | O_CLOEXEC;
    // Opened without blocking: a pipe without a writer would otherwise hold
    // the caller until one comes.
    int fd;
    do {
        fd = ::open(FileName.c_str(), flags | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
        // A directory opens fine read-only on POSIX but cannot be read as a
        // stream, nor can a pipe or socket be positioned; refuse them here
        // with the reason the reader would have hit.
        struct stat st;
        const bool stated = ::fstat(fd, &st) == 0;
        const bool stream = stated && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
        if (stated && (S_ISDIR(st.st_mode) || stream)) {
            ::close(fd);
            fd = -1;
            errno = stream ? ESPIPE : EISDIR;
        } else {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        }
    }
    return Adopt(fd, FileName, Reason);
}

bool TFileHandle::TryCreate(const std::string& FileName, TShare /*Share*/, std::string* Reason, bool New) {
    Close();
    // O_EXCL also refuses a symbolic link, whether or not it leads anywhere.
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (New ? O_EXCL : O_TRUNC);
    int fd;
    do {
        fd = ::open(FileName.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    return Adopt(fd, FileName, Reason);
}

void TFileHandle::Close() noexcept {
    if (FHandle != InvalidNative) {
        ::close(FHandle);
        FHandle = InvalidNative;
    }
}

std::int32_t TFileHandle::Read(void* Buffer, std::int32_t Count) {
    if (Count <= 0) {
        return 0;
    }
    for (;;) {
        const ssize_t n = ::read(FHandle, Buffer, static_cast<std::size_t>(Count));
        if (n >= 0) {
            return static_cast<std::int32_t>(n);
        }
        if (errno != EINTR) {
            Fail("Cannot read file");
        }
    }
}

std::int32_t TFileHandle::ReadAt(void* Buffer, std::int32_t Count, std::int64_t Offset) {
    if (Count <= 0) {
        return 0;
    }
    for (;;) {
        const ssize_t n = ::pread(FHandle, Buffer, static_cast<std::size_t>(Count), static_cast<off_t>(Offset));
        if (n >= 0) {
            return static_cast<std::int32_t>(n);
        }
        if (errno != EINTR) {
            Fail("Cannot read file");
        }
    }
}

std::int32_t TFileHandle::Write(const void* Buffer, std::int32_t Count) {
    std::int32_t done = 0;
    const char* p = static_cast<const char*>(Buffer);
    while (done < Count) {
        const ssize_t n = ::write(FHandle, p + done, static_cast<std::size_t>(Count - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::int32_t>(n);
    }
    return done;
}

std::int64_t TFileHandle::Seek(std::int64_t Offset, int Origin) {
    const int whence = Origin == 0 ? SEEK_SET : Origin == 1 ? SEEK_CUR : SEEK_END;
    const off_t r = ::lseek(FHandle, static_cast<off_t>(Offset), whence);
    if (r < 0) {
        Fail("Cannot seek in file");
    }
    return static_cast<std::int64_t>(r);
}

std::int64_t TFileHandle::Size() const {
    struct stat st;
    if (::fstat(FHandle, &st) != 0) {
        Fail("Cannot get the size of file");
    }
    return static_cast<std::int64_t>(st.st_size);
}

void TFileHandle::Truncate(std::int64_t NewSize) {
    int r;
    do {
        r = ::ftruncate(FHandle, static_cast<off_t>(NewSize));
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
        Fail("Cannot set the size of file");
    }
}

bool TFileHandle::Exists(const std::string& FileName) {
    struct stat st;
    return ::stat(FileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

TFileHandle::TEntryKind TFileHandle::EntryKind(const std::string& FileName) {
    struct stat st;
    if (::lstat(FileName.c_str(), &st) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? ekNone : ekUnknown;
    }
    if (S_ISLNK(st.st_mode)) {
        return ekLink;
    }
    return S_ISREG(st.st_mode) ? ekFile : ekOther;
}

void TFileHandle::RenameReplace(const std::string& OldName, const std::string& NewName) {
    if (std::rename(OldName.c_str(), NewName.c_str()) != 0) {
        const std::string reason = SystemErrorText();
        throw EInOutError("Cannot rename file \"" + OldName + "\" to \"" + NewName + "\". " + reason);
    }
}

void TFileHandle::Delete(const std::string& FileName) {
    if (::unlink(FileName.c_str()) != 0) {
        const std::string reason = SystemErrorText();
        throw EInOutError("Cannot delete file \"" + FileName + "\". " + reason);
    }
}

#endif
