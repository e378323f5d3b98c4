# Shared part of the mingw-w64 toolchain files; _triple is set by the includer.
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Everything statically linked: the results need only KERNEL32 and msvcrt,
# not libstdc++, libgcc or libwinpthread DLLs.
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -static)
# Test programs run under wine where it is installed: wine64 for x86_64, and
# for i686 the 32-bit loader, which needs the i386 architecture and wine32.
# Debian puts both loaders in /usr/lib/wine; the "wine" package adds a wrapper.
if(_triple MATCHES "^x86_64")
  find_program(NARVI_WINE NAMES wine64 wine PATHS /usr/lib/wine)
else()
  find_program(NARVI_WINE NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
endif()
if(NARVI_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NARVI_WINE})
endif()
