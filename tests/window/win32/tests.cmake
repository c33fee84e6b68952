# tests/window/win32/tests.cmake: the Win32 window backend's own tests, on an Xvfb display that CTest starts and stops.
target_sources(window_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/win32_events_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_gadgets_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_message_box_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_icon_test.cpp)
target_include_directories(window_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
# The program's own icon, so that the icon tests see the images lumtest.exe carries.
enable_language(RC)
target_sources(window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/program_icon.rc)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/program_icon.rc PROPERTIES
  OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/resources/lumtest.ico)

# The progress window as a finished run leaves it, for the screenshot test.
add_executable(window_showcase WIN32 ${CMAKE_CURRENT_LIST_DIR}/window_showcase.cpp)
target_link_libraries(window_showcase PRIVATE lum_options lum_testrun)

# The display, and a Wine prefix whose desktop uses it: a fixed display number that nothing else here
# uses, started before and stopped after the tests that need it, whether they pass or not. Two
# checkouts tested on one machine at once give each its own number (-DLUM_TEST_DISPLAY=...).
set(LUM_TEST_DISPLAY 94 CACHE STRING "Xvfb display number of the window tests")
set(LUM_DISPLAY_STATE ${CMAKE_BINARY_DIR}/tests/window/display CACHE INTERNAL "Xvfb and Wine prefix of the window tests")
set(LUM_DISPLAY_FIXTURE ${PROJECT_SOURCE_DIR}/tests/support/wine-display-fixture)
add_test(NAME window_display_start COMMAND ${LUM_DISPLAY_FIXTURE} start ${LUM_DISPLAY_STATE} ${LUM_TEST_DISPLAY})
add_test(NAME window_display_stop COMMAND ${LUM_DISPLAY_FIXTURE} stop ${LUM_DISPLAY_STATE} ${LUM_TEST_DISPLAY})
set_tests_properties(window_display_start PROPERTIES FIXTURES_SETUP window_display TIMEOUT 120)
set_tests_properties(window_display_stop PROPERTIES FIXTURES_CLEANUP window_display TIMEOUT 60)

# Every Windows test that opens a window calls this from its own folder: it then runs on the display,
# in the display's Wine prefix, and never at the same time as another such test.
function(lum_test_needs_display)
  set_tests_properties(${ARGN} PROPERTIES
    FIXTURES_REQUIRED window_display
    RESOURCE_LOCK window_display
    ENVIRONMENT "DISPLAY=:${LUM_TEST_DISPLAY};WINEPREFIX=${LUM_DISPLAY_STATE}/wineprefix")
endfunction()

add_test(NAME progress_window_screenshot
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/screenshot-check ${CMAKE_CURRENT_BINARY_DIR}
                 $<TARGET_FILE:window_showcase> ${CMAKE_CROSSCOMPILING_EMULATOR})
set_tests_properties(progress_window_screenshot PROPERTIES TIMEOUT 180)
lum_test_needs_display(window_tests progress_window_screenshot)
