# cmake/toolchain-mingw64.cmake: cross-builds the Windows program with MinGW-w64 and runs its tests under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LUM_MINGW_TRIPLET x86_64-w64-mingw32)
# The posix-thread compilers: the win32-thread variant has no std::mutex, and GoogleTest needs it.
find_program(LUM_MINGW_CXX ${LUM_MINGW_TRIPLET}-g++-posix)
find_program(LUM_MINGW_CC ${LUM_MINGW_TRIPLET}-gcc-posix)
find_program(LUM_MINGW_WINDRES ${LUM_MINGW_TRIPLET}-windres)
if(NOT LUM_MINGW_CXX OR NOT LUM_MINGW_CC)
  message(FATAL_ERROR "${LUM_MINGW_TRIPLET}-g++-posix was not found: install Debian's g++-mingw-w64-x86-64-posix")
endif()
if(NOT LUM_MINGW_WINDRES)
  message(FATAL_ERROR "${LUM_MINGW_TRIPLET}-windres was not found: install Debian's binutils-mingw-w64-x86-64")
endif()

set(CMAKE_C_COMPILER ${LUM_MINGW_CC})
set(CMAKE_CXX_COMPILER ${LUM_MINGW_CXX})
set(CMAKE_RC_COMPILER ${LUM_MINGW_WINDRES})

set(CMAKE_FIND_ROOT_PATH /usr/${LUM_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Static runtime: the program and the test binaries must start on a machine without MinGW's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# CTest starts every Windows binary through this wrapper, which runs it under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
