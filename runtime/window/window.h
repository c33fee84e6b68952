// runtime/window/window.h: the window layer: message boxes.
#pragma once

#include <cstdint>
#include <string_view>

namespace lum {

// An OK-only message box, modal for the whole program; returns the button pressed (1 = OK), 0 when the
// box cannot be shown. The headless build writes "title: text" to standard error and answers OK.
std::int32_t message_box(std::string_view title, std::string_view text, std::uint32_t style = 0);

} // namespace lum
