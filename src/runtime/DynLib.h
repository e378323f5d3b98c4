#pragma once
// Loading a shared library at run time and looking up its functions by name
// (dlopen/dlsym, or LoadLibraryA/GetProcAddress in the DLL build).

#include <string>

// The system's native library handle (a pointer in both builds); nullptr
// when nothing is loaded.
using TLibHandle = void*;

// Loads the library file; nullptr on failure, with the reason kept for
// DynLibLastError().
TLibHandle LoadDynLib(const std::string& FileName);
// Address of the exported symbol Name; nullptr when the library lacks it.
void* GetDynLibSymbol(TLibHandle Lib, const std::string& Name);
// Unloads the library; false when the system refused.
bool FreeDynLib(TLibHandle Lib);
// Text of the last failure of the three functions above, in this thread.
std::string DynLibLastError();

// Typed look-up for function pointers.
template <class F>
F GetDynLibFunction(TLibHandle Lib, const std::string& Name) {
    return reinterpret_cast<F>(GetDynLibSymbol(Lib, Name));
}
