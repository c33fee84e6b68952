# cmake/toolchain-mingw.cmake: what both MinGW-w64 toolchain files share; each sets its triplet, package and flags first.
if(NOT LUM_MINGW_TRIPLET)
  message(FATAL_ERROR "toolchain-mingw.cmake is shared: use toolchain-mingw64.cmake or toolchain-mingw-x86.cmake")
endif()
set(CMAKE_SYSTEM_NAME Windows)

# The posix-thread compilers: the win32-thread variant has no std::mutex, and GoogleTest needs it.
find_program(LUM_MINGW_CXX ${LUM_MINGW_TRIPLET}-g++-posix)
find_program(LUM_MINGW_CC ${LUM_MINGW_TRIPLET}-gcc-posix)
find_program(LUM_MINGW_WINDRES ${LUM_MINGW_TRIPLET}-windres)
if(NOT LUM_MINGW_CXX OR NOT LUM_MINGW_CC)
  message(FATAL_ERROR "${LUM_MINGW_TRIPLET}-g++-posix was not found: install Debian's g++-mingw-w64-${LUM_MINGW_PACKAGE}-posix")
endif()
if(NOT LUM_MINGW_WINDRES)
  message(FATAL_ERROR "${LUM_MINGW_TRIPLET}-windres was not found: install Debian's binutils-mingw-w64-${LUM_MINGW_PACKAGE}")
endif()

set(CMAKE_C_COMPILER ${LUM_MINGW_CC})
set(CMAKE_CXX_COMPILER ${LUM_MINGW_CXX})
set(CMAKE_RC_COMPILER ${LUM_MINGW_WINDRES})

set(CMAKE_FIND_ROOT_PATH /usr/${LUM_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The same commit builds the same bytes wherever it is checked out, which is how a release is checked
# against its source: source paths are written relative to the project's folder (the toolchain file
# lies in its cmake/), and the PE header carries no link time.
get_filename_component(LUM_PROJECT_DIR ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
set(CMAKE_C_FLAGS_INIT "-ffile-prefix-map=${LUM_PROJECT_DIR}/=")
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT}")
# Static runtime: the program and the test binaries must start on a machine without MinGW's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")

# CTest starts every Windows binary through this wrapper, which runs it under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
