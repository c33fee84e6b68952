# cmake/toolchain-mingw64.cmake: cross-builds the 64-bit Windows program with MinGW-w64 and runs its tests under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LUM_MINGW_TRIPLET x86_64-w64-mingw32)
set(LUM_MINGW_PACKAGE x86-64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
