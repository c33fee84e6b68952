// runtime/window/geometry.h: the window layer's arithmetic: styles from flags, placement, font heights, focus order.
#pragma once

#include <cstdint>

#include "runtime/window/inspect.h"

namespace lum {

struct WindowStyle {
    std::uint32_t style = 0;
    std::uint32_t extended = 0;
    bool hidden = false;
};

// The platform style for open_window's flags: the layer's own bits taken out, a title bar when no
// style was asked for, and the tool-window form for WINDOW_TOOL.
WindowStyle window_style(std::uint32_t flags);

struct Placement {
    Rect frame;                    // position and outer size
    bool platform_chooses = false; // POSITION_DEFAULT without centring
};

// Where the frame of `outer` size goes. Screen-centred frames are first clipped to the screen; a
// parent-centred one is centred on `reference` (when it has a size) and kept at 0 or more.
Placement place_window(std::uint32_t flags, std::int32_t x, std::int32_t y, Size outer, Size screen,
                       const Rect& reference);

// The character height for `points` at `dpi`: -(points x dpi / 72), rounded to the nearest with
// halves away from zero as the platform's MulDiv does. "Arial" 16 at 96 dpi is -21.
std::int32_t font_character_height(std::int32_t points, std::int32_t dpi);

// Index of the control that Tab (forward) or Shift+Tab gives among `count` focusable controls, when
// `current` has the focus (-1: none of them), wrapping at either end; -1 when there are none.
std::int32_t next_focus(std::int32_t count, std::int32_t current, bool forward);

} // namespace lum
