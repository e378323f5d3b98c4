# Windows x86_64 cross build with Debian's mingw-w64 (posix thread model:
# the win32 one lacks std::mutex under C++20).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
