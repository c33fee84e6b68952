# runtime/window/win32/sources.cmake: the Win32 window backend's sources.
set(LUM_WINDOW_BACKEND_SOURCES
  win32/brush_cache.cpp
  win32/event_loop.cpp
  win32/fonts.cpp
  win32/gadget_kinds.cpp
  win32/gadgets.cpp
  win32/inspect.cpp
  win32/keyboard_focus.cpp
  win32/message_box.cpp
  win32/raise_window.cpp
  win32/window_layer.cpp
  win32/window_proc.cpp
  win32/window_table.cpp
)
