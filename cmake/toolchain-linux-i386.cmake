# 32-bit Linux (i386) build with the host compiler and g++-multilib. The
# top-level CMakeLists adds SSE2 floating point and 64-bit file offsets for
# 32-bit. Where the kernel runs no 32-bit programs, NARVI_I386_EMULATOR names
# an emulator (qemu-i386) that ctest runs every test program through.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
if(NARVI_I386_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NARVI_I386_EMULATOR})
else()
  unset(CMAKE_CROSSCOMPILING_EMULATOR)
endif()
