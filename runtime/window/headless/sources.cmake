# runtime/window/headless/sources.cmake: the headless window backend's sources.
set(LUM_WINDOW_BACKEND_SOURCES
  headless/fonts.cpp
  headless/gadgets.cpp
  headless/inspect.cpp
  headless/message_box.cpp
  headless/raise_window.cpp
  headless/tables.cpp
  headless/windows.cpp
)
