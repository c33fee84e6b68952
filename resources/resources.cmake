# resources/resources.cmake: compiles the icon, the manifest and the version information into a Windows program.

set(LUM_RESOURCES ${CMAKE_CURRENT_LIST_DIR})
enable_language(RC)

# lum_add_program_resources(TARGET): the manifest names the processor the program is built for (Windows
# will not start a program whose manifest names another: a side-by-side configuration error), so it is
# written per build from lumtest.manifest.in into the build folder, where windres finds it by the name
# the .rc gives.
function(lum_add_program_resources target)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(LUM_MANIFEST_ARCH amd64)
  else()
    set(LUM_MANIFEST_ARCH x86)
  endif()
  set(generated ${CMAKE_BINARY_DIR}/resources)
  configure_file(${LUM_RESOURCES}/lumtest.manifest.in ${generated}/lumtest.manifest @ONLY)
  target_sources(${target} PRIVATE ${LUM_RESOURCES}/lumtest.rc)
  set_source_files_properties(${LUM_RESOURCES}/lumtest.rc PROPERTIES
    INCLUDE_DIRECTORIES ${generated}
    OBJECT_DEPENDS "${LUM_RESOURCES}/lumtest.ico;${generated}/lumtest.manifest")
endfunction()
