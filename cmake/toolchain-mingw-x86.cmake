# cmake/toolchain-mingw-x86.cmake: cross-builds the 32-bit Windows program with MinGW-w64, for 32-bit Windows and Wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(LUM_MINGW_TRIPLET i686-w64-mingw32)
set(LUM_MINGW_PACKAGE i686)
# With a 32-bit size_t, -Wconversion also reports 64-bit values used as indexes whose range already
# fits; those stay warnings here, while the 64-bit build keeps every conversion warning an error.
set(LUM_MINGW_CXX_FLAGS -Wno-error=conversion)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
