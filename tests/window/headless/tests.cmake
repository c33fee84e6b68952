# tests/window/headless/tests.cmake: the headless window backend's own tests.
target_sources(window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/headless_test.cpp)
