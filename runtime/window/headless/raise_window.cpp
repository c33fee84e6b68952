// runtime/window/headless/raise_window.cpp: without a screen there is no other program's window to raise.
#include "runtime/window/window.h"

namespace lum {

bool raise_window_titled(std::string_view) { return false; }

} // namespace lum
