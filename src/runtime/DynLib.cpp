#include "DynLib.h"

#include "FileHandle.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

// The loader's calls report errors through state that the next call may
// overwrite (dlerror clears on read), so the text is captured at the failure.
thread_local std::string LastError;

#ifndef _WIN32
void CaptureDlError(const char* fallback) {
    const char* e = dlerror();
    LastError = e ? e : fallback;
}
#endif

}  // namespace

TLibHandle LoadDynLib(const std::string& FileName) {
#ifdef _WIN32
    HMODULE h = LoadLibraryA(FileName.c_str());
    if (!h) {
        LastError = TFileHandle::SystemErrorText();
    }
    return reinterpret_cast<TLibHandle>(h);
#else
    dlerror();
    void* h = dlopen(FileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        CaptureDlError("Cannot load library");
    }
    return h;
#endif
}

void* GetDynLibSymbol(TLibHandle Lib, const std::string& Name) {
    if (!Lib) {
        LastError = "No library loaded";
        return nullptr;
    }
#ifdef _WIN32
    FARPROC p = GetProcAddress(reinterpret_cast<HMODULE>(Lib), Name.c_str());
    if (!p) {
        LastError = TFileHandle::SystemErrorText();
    }
    return reinterpret_cast<void*>(p);
#else
    dlerror();
    void* p = dlsym(Lib, Name.c_str());
    if (!p) {
        CaptureDlError("Symbol not found");
    }
    return p;
#endif
}

bool FreeDynLib(TLibHandle Lib) {
    if (!Lib) {
        return true;
    }
#ifdef _WIN32
    if (!FreeLibrary(reinterpret_cast<HMODULE>(Lib))) {
        LastError = TFileHandle::SystemErrorText();
        return false;
    }
#else
    dlerror();
    if (dlclose(Lib) != 0) {
        CaptureDlError("Cannot unload library");
        return false;
    }
#endif
    return true;
}

std::string DynLibLastError() { return LastError; }
