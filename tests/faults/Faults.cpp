#include "Faults.h"

#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

enum TCall { tcOther, tcRead, tcWrite, tcWriteOnly };  // tcWriteOnly: changes the file, moves no bytes

bool Armed = false;
Faults::TKind Kind = Faults::fkEIO;
long Target = 0;
long Count = 0;
const char* FiredName = "";

template <class F>
F Real(const char* Name) {
    void* P = dlsym(RTLD_NEXT, Name);
    if (!P) {
        std::fprintf(stderr, "Faults: no %s to pass on to\n", Name);
        std::abort();
    }
    return reinterpret_cast<F>(P);
}

bool Counts(TCall Call) {
    switch (Kind) {
    case Faults::fkEIO:
        return true;
    case Faults::fkENOSPC:
        return Call == tcWrite || Call == tcWriteOnly;
    case Faults::fkShort:
        return Call == tcRead || Call == tcWrite;
    }
    return false;
}

// True when this call is the one to fail.
bool Hit(TCall Call, const char* Name) {
    if (!Armed || !Counts(Call)) return false;
    if (++Count != Target) return false;
    FiredName = Name;
    return true;
}

int FailWith(int Result = -1) {
    errno = Kind == Faults::fkENOSPC ? ENOSPC : EIO;
    return Result;
}

std::size_t Shortened(std::size_t Bytes) { return Bytes > 1 ? Bytes / 2 : Bytes; }

}  // namespace

namespace Faults {

const char* KindName(TKind K) {
    switch (K) {
    case fkEIO:
        return "EIO";
    case fkENOSPC:
        return "ENOSPC";
    case fkShort:
        return "short count";
    }
    return "?";
}

void Arm(TKind K, long N) {
    Kind = K;
    Target = N;
    Count = 0;
    FiredName = "";
    Armed = true;
}

long Disarm() {
    Armed = false;
    return Count;
}

std::string Fired() { return FiredName; }

}  // namespace Faults

#define NARVI_INTERPOSE __attribute__((visibility("default")))

extern "C" {

NARVI_INTERPOSE int open(const char* Path, int Flags, ...) {
    static const auto Next = Real<int (*)(const char*, int, ...)>("open");
    mode_t Mode = 0;
    if (Flags & O_CREAT) {
        va_list Args;
        va_start(Args, Flags);
        Mode = mode_t(va_arg(Args, int));
        va_end(Args);
    }
    if (Hit(Flags & O_CREAT ? tcWriteOnly : tcOther, "open")) return FailWith();
    return Next(Path, Flags, Mode);
}

NARVI_INTERPOSE int close(int Fd) {
    static const auto Next = Real<int (*)(int)>("close");
    const int R = Next(Fd);  // the descriptor is gone whatever close reports
    if (Hit(tcWriteOnly, "close")) return FailWith();
    return R;
}

NARVI_INTERPOSE ssize_t read(int Fd, void* Buffer, std::size_t Bytes) {
    static const auto Next = Real<ssize_t (*)(int, void*, std::size_t)>("read");
    if (Hit(tcRead, "read")) {
        if (Kind != Faults::fkShort) return FailWith();
        Bytes = Shortened(Bytes);
    }
    return Next(Fd, Buffer, Bytes);
}

NARVI_INTERPOSE ssize_t pread(int Fd, void* Buffer, std::size_t Bytes, off_t Offset) {
    static const auto Next = Real<ssize_t (*)(int, void*, std::size_t, off_t)>("pread");
    if (Hit(tcRead, "pread")) {
        if (Kind != Faults::fkShort) return FailWith();
        Bytes = Shortened(Bytes);
    }
    return Next(Fd, Buffer, Bytes, Offset);
}

NARVI_INTERPOSE ssize_t write(int Fd, const void* Buffer, std::size_t Bytes) {
    static const auto Next = Real<ssize_t (*)(int, const void*, std::size_t)>("write");
    if (Hit(tcWrite, "write")) {
        if (Kind != Faults::fkShort) return FailWith();
        Bytes = Shortened(Bytes);
    }
    return Next(Fd, Buffer, Bytes);
}

NARVI_INTERPOSE ssize_t pwrite(int Fd, const void* Buffer, std::size_t Bytes, off_t Offset) {
    static const auto Next = Real<ssize_t (*)(int, const void*, std::size_t, off_t)>("pwrite");
    if (Hit(tcWrite, "pwrite")) {
        if (Kind != Faults::fkShort) return FailWith();
        Bytes = Shortened(Bytes);
    }
    return Next(Fd, Buffer, Bytes, Offset);
}

NARVI_INTERPOSE off_t lseek(int Fd, off_t Offset, int Whence) {
    static const auto Next = Real<off_t (*)(int, off_t, int)>("lseek");
    if (Hit(tcOther, "lseek")) return FailWith();
    return Next(Fd, Offset, Whence);
}

NARVI_INTERPOSE int ftruncate(int Fd, off_t Length) {
    static const auto Next = Real<int (*)(int, off_t)>("ftruncate");
    if (Hit(tcWriteOnly, "ftruncate")) return FailWith();
    return Next(Fd, Length);
}

NARVI_INTERPOSE int fsync(int Fd) {
    static const auto Next = Real<int (*)(int)>("fsync");
    if (Hit(tcWriteOnly, "fsync")) return FailWith();
    return Next(Fd);
}

NARVI_INTERPOSE int fdatasync(int Fd) {
    static const auto Next = Real<int (*)(int)>("fdatasync");
    if (Hit(tcWriteOnly, "fdatasync")) return FailWith();
    return Next(Fd);
}

NARVI_INTERPOSE int fstat(int Fd, struct stat* St) {
    static const auto Next = Real<int (*)(int, struct stat*)>("fstat");
    if (Hit(tcOther, "fstat")) return FailWith();
    return Next(Fd, St);
}

NARVI_INTERPOSE int stat(const char* Path, struct stat* St) {
    static const auto Next = Real<int (*)(const char*, struct stat*)>("stat");
    if (Hit(tcOther, "stat")) return FailWith();
    return Next(Path, St);
}

NARVI_INTERPOSE int lstat(const char* Path, struct stat* St) {
    static const auto Next = Real<int (*)(const char*, struct stat*)>("lstat");
    if (Hit(tcOther, "lstat")) return FailWith();
    return Next(Path, St);
}

NARVI_INTERPOSE int rename(const char* From, const char* To) {
    static const auto Next = Real<int (*)(const char*, const char*)>("rename");
    if (Hit(tcWriteOnly, "rename")) return FailWith();
    return Next(From, To);
}

NARVI_INTERPOSE int unlink(const char* Path) {
    static const auto Next = Real<int (*)(const char*)>("unlink");
    if (Hit(tcWriteOnly, "unlink")) return FailWith();
    return Next(Path);
}

}  // extern "C"
