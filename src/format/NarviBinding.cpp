#include "NarviBinding.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <vector>

#include "DynLib.h"
#include "Format.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#if defined(_WIN32)
constexpr const char* kKqmLibrary = "kqmlib.dll";
constexpr const char* kHxtLibrary = "hxtlib.dll";
constexpr char kPathSeparator = '\\';
#else
constexpr const char* kKqmLibrary = "kqmlib.so";
constexpr const char* kHxtLibrary = "hxtlib.so";
constexpr char kPathSeparator = '/';
#endif

std::string ExecutableFolder() {
#if defined(_WIN32)
    std::vector<char> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, buf.data(), DWORD(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) {
            std::string path(buf.data(), n);
            const auto slash = path.find_last_of("\\/");
            return slash == std::string::npos ? std::string() : path.substr(0, slash);
        }
        if (buf.size() >= 32768) return {};
        buf.resize(buf.size() * 2);
    }
#else
    std::vector<char> buf(4096);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n <= 0) return {};
        if (std::size_t(n) < buf.size()) {
            std::string path(buf.data(), std::size_t(n));
            const auto slash = path.rfind('/');
            return slash == std::string::npos ? std::string() : path.substr(0, slash);
        }
        if (buf.size() >= (1u << 20)) return {};
        buf.resize(buf.size() * 2);
    }
#endif
}

bool FileExists(const std::string& path) {
#if defined(_WIN32)
    const DWORD attr = GetFileAttributesA(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
#else
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
#endif
}

#ifndef NARVI_LIBDIR_FROM_BINDIR
#define NARVI_LIBDIR_FROM_BINDIR "../lib"
#endif

// Where a backend library is looked for, in order: the program's folder (a
// build folder, or a program unpacked with its library), the library folder
// of the installation prefix the program lies in, and last the system
// loader's own search (an empty entry), which never looks in the working
// directory on Linux.
std::vector<std::string> SearchFolders(const std::string& programFolder) {
    std::vector<std::string> folders;
    if (!programFolder.empty()) {
        folders.push_back(programFolder);
        folders.push_back(std::filesystem::path(programFolder + kPathSeparator + NARVI_LIBDIR_FROM_BINDIR)
                              .lexically_normal()
                              .string());
    }
    folders.emplace_back();
    return folders;
}

// Loads name from folder (through the loader's search when folder is empty).
// On failure returns null and adds the place and the reason to tried.
TLibraryHandle LoadFrom(const std::string& name, const std::string& folder, std::string& tried) {
    const std::string path = folder.empty() ? name : folder + kPathSeparator + name;
    if (!tried.empty()) tried += "; ";
    if (!folder.empty() && !FileExists(path)) {
        tried += path + ": not found";
        return nullptr;
    }
#if defined(_WIN32)
    // A damaged library must not stop an unattended program with a dialog box.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
#endif
    TLibraryHandle h = LoadDynLib(path);
#if defined(_WIN32)
    SetErrorMode(oldMode);
#endif
    if (h) return h;
    if (folder.empty()) tried += "system loader: ";
#if defined(_WIN32)
    // The system's text does not name the file that failed.
    tried += path + ": ";
#endif
    tried += DynLibLastError();
    return nullptr;
}

template <class F>
void Bind(TLibraryHandle h, F& fn, const char* name) {
    fn = GetDynLibFunction<F>(h, name);
}

std::string LowerCase(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// From the last "." on, dot included; empty when the file name has no dot.
std::string Extension(const std::string& path) {
    const auto dot = path.rfind('.');
    const auto sep = path.find_last_of("/\\");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return {};
    return path.substr(dot);
}

}  // namespace

// ---------------------------------------------------------------------------

TWaveIntf::TWaveIntf(const std::string& DLL, const std::string& Folder) : hDll(INVALID_HANDLE_VALUE), FDll(DLL) {
    std::string tried;
    TLibraryHandle h = nullptr;
    for (const std::string& folder : SearchFolders(Folder.empty() ? ExecutableFolder() : Folder)) {
        h = LoadFrom(DLL, folder, tried);
        if (h) break;
    }
    if (!h) throw EWaveError(Format("Cannot load library %s: %s", DLL, tried));
    hDll = h;
    try {
        const auto require = [&](auto& fn, const char* name) {
            Bind(hDll, fn, name);
            if (!fn) throw EWaveError(Format("Cannot load library %s: Function %s not found", DLL, name));
        };
        require(GetLibraryVersion, "narvi_get_library_version");
        require(GetLastError, "narvi_get_last_error");
        require(Open, "narvi_open");
        require(Close, "narvi_close");
        require(Reindex, "narvi_reindex");
        require(SeekTime, "narvi_seek_time");
        require(SeekTimeExternal, "narvi_seek_time_external");
        require(Seek, "narvi_seek");
        require(Tell, "narvi_tell");
        require(GetInfo, "narvi_get_info");
        require(Read, "narvi_read");
        Bind(hDll, SetTrackCallback, "narvi_set_track_callback");
        Bind(hDll, SetTraceCallback, "narvi_set_trace_callback");
        Bind(hDll, SetModeInt, "narvi_set_mode_int");
        Bind(hDll, GetModeInt, "narvi_get_mode_int");
    } catch (...) {
        Unload();
        throw;
    }
}

TWaveIntf::~TWaveIntf() { Unload(); }

void TWaveIntf::Unload() noexcept {
    if (hDll == INVALID_HANDLE_VALUE || hDll == nullptr) return;
    FreeDynLib(hDll);
    hDll = INVALID_HANDLE_VALUE;
}

// ---------------------------------------------------------------------------

TWaveFile::TWaveFile(const std::string& Path) : TWaveFile(Path, std::string()) {}

TWaveFile::TWaveFile(const std::string& Path, const std::string& LibraryFolder) {
    try {
        Open(Path, LibraryFolder);
    } catch (...) {
        Release();
        throw;
    }
}

TWaveFile::~TWaveFile() { Release(); }

void TWaveFile::Open(const std::string& Path, const std::string& LibraryFolder) {
    const std::string ext = LowerCase(Extension(Path));
    if (ext == ".kqm") {
        FWaveIntf = std::make_unique<TWaveIntf>(kKqmLibrary, LibraryFolder);
        FName = Path;
        Exec(FWaveIntf->Open(Path.c_str(), &FHandle));
        if (FWaveIntf->SetTraceCallback) Exec(FWaveIntf->SetTraceCallback(FHandle, &WaveFileTraceCallback, this));
        if (FWaveIntf->SetTrackCallback) Exec(FWaveIntf->SetTrackCallback(FHandle, &WaveFileTrackCallback, this));
    } else if (ext == ".hxt") {
        FWaveIntf = std::make_unique<TWaveIntf>(kHxtLibrary, LibraryFolder);
        FName = Path;
        Exec(FWaveIntf->Open(Path.c_str(), &FHandle));
    } else {
        throw EWaveError("Unsupported format");
    }
}

void TWaveFile::Release() noexcept {
    if (!FWaveIntf) return;
    // A backend outside this system need not accept a null handle.
    if (FHandle) FWaveIntf->Close(FHandle);
    FHandle = nullptr;
    FWaveIntf.reset();
}

void TWaveFile::Exec(std::int32_t ResCode) {
    if (FCallbackError) {
        std::exception_ptr error = FCallbackError;
        FCallbackError = nullptr;
        std::rethrow_exception(error);
    }
    if (ResCode == NARVI_NO_ERROR) return;
    const char* text = nullptr;
    if (FWaveIntf) FWaveIntf->GetLastError(&text);
    const std::string message = text && *text ? std::string(text) : Format("Unknown reason (%d)", ResCode);
    switch (ResCode) {
    case NARVI_END_OF_FILE:
        throw EWaveFileEnd(message);
    case NARVI_ERR_MISSING_INDEX:
        throw EWaveFileNoIndex("No Index available");
    case NARVI_ERR_NOT_IMPLEMENTED:
        throw EWaveFileNotImplemented(message);
    default:
        throw EWaveError(message);
    }
}

void TWaveFile::GetVersion(std::uint16_t& Major, std::uint16_t& Minor, std::string& Version, std::string& Tag) {
    const char* version = nullptr;
    const char* tag = nullptr;
    FWaveIntf->GetLibraryVersion(&Major, &Minor, &version, &tag);
    Version = version ? version : "";
    Tag = tag ? tag : "";
}

std::string TWaveFile::GetLastError() {
    const char* text = nullptr;
    FWaveIntf->GetLastError(&text);
    return text ? text : "";
}

void TWaveFile::Reindex() { Exec(FWaveIntf->Reindex(FHandle)); }

std::uint32_t TWaveFile::Tell() {
    std::uint32_t index = 0;
    Exec(FWaveIntf->Tell(FHandle, &index));
    return index;
}

void TWaveFile::Seek(std::uint32_t Index) { Exec(FWaveIntf->Seek(FHandle, Index)); }

// Times are passed 10 ns early so that a record stamped exactly at Time is
// not missed by rounding.
void TWaveFile::SeekTime(double Time) { Exec(FWaveIntf->SeekTime(FHandle, Time - 1e-8)); }

void TWaveFile::SeekTimeExternal(double Time) { Exec(FWaveIntf->SeekTimeExternal(FHandle, Time - 1e-8)); }

void TWaveFile::Read(double& TIME_SORG, double& TIME_EXTERNAL, NARVI_FLOAT64_VECTOR3_T& ORIGIN,
                     NARVI_FLOAT64_VECTOR3_T& DIRECTION, std::uint16_t& FLAGS, std::uint16_t& FACET,
                     std::uint32_t& SBL_COUNT, std::uint32_t& SBL_SIZE, NARVI_SBL_PTR_T& SBL) {
    Exec(FWaveIntf->Read(FHandle, &TIME_SORG, &TIME_EXTERNAL, &ORIGIN, &DIRECTION, &FLAGS, &FACET, &SBL_COUNT,
                         &SBL_SIZE, &SBL));
}

void TWaveFile::Info(const char*& INSTRUMENT, const char*& SERIAL, const char*& EPOCH, double& V_GROUP,
                     double& SAMPLING_TIME, std::uint16_t& FLAGS, std::uint16_t& NUM_FACETS) {
    Exec(FWaveIntf->GetInfo(FHandle, &INSTRUMENT, &SERIAL, &EPOCH, &V_GROUP, &SAMPLING_TIME, &FLAGS, &NUM_FACETS));
}

void TWaveFile::Track(std::int32_t Percent, bool& Abort) {
    if (FOnTrack) FOnTrack(this, Percent, Abort);
}

void TWaveFile::Trace(const std::string& Text) {
    if (FOnTrace) FOnTrace(this, Text);
}

void TWaveFile::KeepCallbackError(std::exception_ptr Error) noexcept {
    // The first failure of a backend call is the one worth reporting.
    if (!FCallbackError) FCallbackError = std::move(Error);
}

void NARVI_CALL TWaveFile::WaveFileTraceCallback(NARVI_FILE_T Sender, NARVI_POINTER_T UserData, NARVI_CSZ_T Text) {
    auto* self = static_cast<TWaveFile*>(UserData);
    if (!self) return;
    try {
        if (Sender != self->FHandle) throw EWaveError("Internal error: Invalid trace notification callback");
        // Once this call has failed, further lines would only bury the cause.
        if (self->FCallbackError) return;
        self->Trace(Text ? std::string(Text) : std::string());
    } catch (...) {
        self->KeepCallbackError(std::current_exception());
    }
}

void NARVI_CALL TWaveFile::WaveFileTrackCallback(NARVI_FILE_T Sender, NARVI_POINTER_T UserData, NARVI_INT32_T Percent,
                                                 NARVI_BOOL_T* Abort) {
    auto* self = static_cast<TWaveFile*>(UserData);
    bool flag = Abort && *Abort != 0;
    try {
        if (!self) throw EWaveError("Internal error: Invalid track notification callback");
        if (Sender != self->FHandle) throw EWaveError("Internal error: Invalid track notification callback");
        if (!self->FCallbackError)
            self->Track(Percent, flag);
        else
            flag = true;
    } catch (...) {
        if (self) self->KeepCallbackError(std::current_exception());
        flag = true;
    }
    if (Abort) *Abort = flag ? NARVI_BOOL_T(-1) : 0;
}
