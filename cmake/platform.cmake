# cmake/platform.cmake: picks the backend folders for this target and the compile options every project target shares.

if(WIN32)
  set(LUM_OS_BACKEND win32)
  set(LUM_WINDOW_BACKEND win32)
else()
  set(LUM_OS_BACKEND posix)
  set(LUM_WINDOW_BACKEND headless)
endif()

# Every compile goes through ccache when the machine has it (cmake/compiler-cache); -DLUM_CCACHE=OFF for a
# build that must share nothing with another.
find_program(LUM_CCACHE_PROGRAM ccache)
option(LUM_CCACHE "Compile through ccache, with the cache under build/ccache" ON)
if(LUM_CCACHE AND LUM_CCACHE_PROGRAM)
  set(CMAKE_C_COMPILER_LAUNCHER ${PROJECT_SOURCE_DIR}/cmake/compiler-cache)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${PROJECT_SOURCE_DIR}/cmake/compiler-cache)
endif()
# mold links the large sanitized test binaries in a fraction of ld's time; ELF only, so not the Windows builds.
find_program(LUM_MOLD_PROGRAM mold)
if(NOT WIN32 AND LUM_MOLD_PROGRAM AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_link_options(-fuse-ld=mold)
endif()

option(LUM_WARNINGS_AS_ERRORS "Treat compiler warnings in project code as errors" ON)

# Options for the project's own targets only, so that GoogleTest keeps its own warning level.
add_library(lum_options INTERFACE)
target_include_directories(lum_options INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_options(lum_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
# GCC 12 reports impossible memcpy overlaps inside std::string concatenation at -O3 (its bug 105651).
target_compile_options(lum_options INTERFACE $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>)
if(LUM_WARNINGS_AS_ERRORS)
  target_compile_options(lum_options INTERFACE -Werror)
endif()
if(WIN32)
  # The program speaks the ANSI ("A") Win32 calls throughout; texts are bytes in the system code page.
  target_compile_definitions(lum_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
endif()

# One static library per runtime area: portable sources plus the backend folder chosen above.
function(lum_runtime_area name)
  cmake_parse_arguments(AREA "" "" "PORTABLE;BACKEND;LINK;SYSTEM_LIBS" ${ARGN})
  set(sources ${AREA_PORTABLE})
  foreach(file IN LISTS AREA_BACKEND)
    list(APPEND sources ${file})
  endforeach()
  add_library(lum_${name} STATIC ${sources})
  target_link_libraries(lum_${name} PUBLIC lum_options ${AREA_LINK})
  if(WIN32 AND AREA_SYSTEM_LIBS)
    target_link_libraries(lum_${name} PUBLIC ${AREA_SYSTEM_LIBS})
  endif()
endfunction()
