// runtime/window/inspect.h: what the window layer shows, read back, so that tests can check it on both platforms.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/common/object_table.h"

namespace lum {

struct Rect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

struct Size {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

Size screen_size();

// The window's frame and its client area, in screen coordinates; all zero for an unknown number.
Rect window_frame(ObjectNumber number);
Rect window_client_area(ObjectNumber number);
std::string window_title(ObjectNumber number);

// A gadget's box in its window's client area, its text and its font; empty for an unknown number.
Rect gadget_box(ObjectNumber number);
std::string get_gadget_text(ObjectNumber number);
std::intptr_t gadget_font(ObjectNumber number);

// The character height (negative: without internal leading) a loaded font was made with; 0 if unknown.
std::int32_t font_height(ObjectNumber number);

} // namespace lum
