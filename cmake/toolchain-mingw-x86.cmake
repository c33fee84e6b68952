# cmake/toolchain-mingw-x86.cmake: cross-builds the 32-bit Windows program with MinGW-w64, for 32-bit Windows and Wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(LUM_MINGW_TRIPLET i686-w64-mingw32)
set(LUM_MINGW_PACKAGE i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
