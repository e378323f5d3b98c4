#pragma once
// Client side of the reader interface: picks a backend library by the
// recording's extension, loads it at run time, binds the narvi_* functions by
// name and turns every non-zero result code into an exception carrying the
// library's last-error text. A program using it never links the backend.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "Exception.h"
#include "narvi.h"

class EWaveError : public Exception {
public:
    using Exception::Exception;
};
class EWaveFileEnd : public EWaveError {
public:
    using EWaveError::EWaveError;
};
class EWaveFileNoIndex : public EWaveError {
public:
    using EWaveError::EWaveError;
};
class EWaveFileNotImplemented : public EWaveError {
public:
    using EWaveError::EWaveError;
};

// Native library handle, pointer-sized on every build.
using TLibraryHandle = void*;

#if !defined(_WIN32)
// Handle value meaning that nothing is loaded: all bits set, on every build
// (the system headers of Windows builds bring the same name and value).
inline const TLibraryHandle INVALID_HANDLE_VALUE = reinterpret_cast<TLibraryHandle>(~std::uintptr_t{0});
#endif

// One loaded backend library with its function table.
class TWaveIntf {
public:
    // Loads DLL from the program's folder (Folder when given, else the running
    // program's own), else from the library folder of the installation prefix
    // relative to it ("../lib" beside "bin"), else through the system loader's
    // normal search; a file that fails to load is passed over for the next
    // place. Throws EWaveError naming every place tried with its reason when
    // none gives the library, or when it lacks a required function.
    explicit TWaveIntf(const std::string& DLL, const std::string& Folder = {});
    ~TWaveIntf();
    TWaveIntf(const TWaveIntf&) = delete;
    TWaveIntf& operator=(const TWaveIntf&) = delete;

    TLibraryHandle hDll;
    std::string FDll;

    // Required.
    decltype(&narvi_get_library_version) GetLibraryVersion = nullptr;
    decltype(&narvi_get_last_error) GetLastError = nullptr;
    decltype(&narvi_open) Open = nullptr;
    decltype(&narvi_close) Close = nullptr;
    decltype(&narvi_reindex) Reindex = nullptr;
    decltype(&narvi_seek_time) SeekTime = nullptr;
    decltype(&narvi_seek_time_external) SeekTimeExternal = nullptr;
    decltype(&narvi_seek) Seek = nullptr;
    decltype(&narvi_tell) Tell = nullptr;
    decltype(&narvi_get_info) GetInfo = nullptr;
    decltype(&narvi_read) Read = nullptr;
    // Optional: null when the library lacks them.
    decltype(&narvi_set_track_callback) SetTrackCallback = nullptr;
    decltype(&narvi_set_trace_callback) SetTraceCallback = nullptr;
    decltype(&narvi_set_mode_int) SetModeInt = nullptr;
    decltype(&narvi_get_mode_int) GetModeInt = nullptr;

private:
    void Unload() noexcept;
};

class TWaveFile;
using TWaveFileTrackEvent = std::function<void(TWaveFile* Sender, std::int32_t Percent, bool& Abort)>;
using TWaveFileTraceEvent = std::function<void(TWaveFile* Sender, const std::string& Text)>;

// One open recording through its backend library.
class TWaveFile {
public:
    // Path's extension (case-insensitive) chooses the backend: ".kqm" or ".hxt".
    explicit TWaveFile(const std::string& Path);
    // As above, looking for the backend library in LibraryFolder first.
    TWaveFile(const std::string& Path, const std::string& LibraryFolder);
    ~TWaveFile();
    TWaveFile(const TWaveFile&) = delete;
    TWaveFile& operator=(const TWaveFile&) = delete;

    // Raises the exception that belongs to a backend result code; also raises
    // what a callback of the call that produced the code could not raise itself.
    void Exec(std::int32_t ResCode);

    void GetVersion(std::uint16_t& Major, std::uint16_t& Minor, std::string& Version, std::string& Tag);
    std::string GetLastError();
    void Reindex();
    std::uint32_t Tell();
    void Seek(std::uint32_t Index);
    void SeekTime(double Time);
    void SeekTimeExternal(double Time);
    // SBL and the samples stay the backend's, valid until its next read.
    void Read(double& TIME_SORG, double& TIME_EXTERNAL, NARVI_FLOAT64_VECTOR3_T& ORIGIN,
              NARVI_FLOAT64_VECTOR3_T& DIRECTION, std::uint16_t& FLAGS, std::uint16_t& FACET, std::uint32_t& SBL_COUNT,
              std::uint32_t& SBL_SIZE, NARVI_SBL_PTR_T& SBL);
    // The three strings stay the backend's, valid while the file is open.
    void Info(const char*& INSTRUMENT, const char*& SERIAL, const char*& EPOCH, double& V_GROUP, double& SAMPLING_TIME,
              std::uint16_t& FLAGS, std::uint16_t& NUM_FACETS);

    void Track(std::int32_t Percent, bool& Abort);
    void Trace(const std::string& Text);

    // Handed to the backend with the file object as user data. They never let
    // an exception out into the backend: a failure is kept and raised by Exec
    // once the backend call has returned.
    static void NARVI_CALL WaveFileTraceCallback(NARVI_FILE_T Sender, NARVI_POINTER_T UserData, NARVI_CSZ_T Text);
    static void NARVI_CALL WaveFileTrackCallback(NARVI_FILE_T Sender, NARVI_POINTER_T UserData, NARVI_INT32_T Percent,
                                                 NARVI_BOOL_T* Abort);

    // The user's side of an open file: a caller of an optional backend function
    // uses FWaveIntf and FHandle directly, and assigns the two events. The file
    // owns the interface; it unloads the library when the file goes.
    std::unique_ptr<TWaveIntf> FWaveIntf;
    std::string FName;
    TWaveFileTrackEvent FOnTrack;
    TWaveFileTraceEvent FOnTrace;
    NARVI_FILE_T FHandle = nullptr;

private:
    void Open(const std::string& Path, const std::string& LibraryFolder);
    void Release() noexcept;
    void KeepCallbackError(std::exception_ptr Error) noexcept;

    std::exception_ptr FCallbackError;
};
