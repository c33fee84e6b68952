// runtime/window/geometry.cpp: window styles, placement, font heights and focus order, without any platform call.
#include "runtime/window/geometry.h"

#include <algorithm>

#include "runtime/window/window.h"

namespace lum {
namespace {

constexpr std::uint32_t LAYER_BITS = WINDOW_SCREEN_CENTERED | WINDOW_PARENT_CENTERED | WINDOW_TOOL;
constexpr std::uint32_t TOOL_CLEARED_BITS = 0x21030000; // minimize and maximize boxes, minimized, maximized
constexpr std::uint32_t TOOL_WINDOW_EXTENDED = 0x80;

} // namespace

WindowStyle window_style(std::uint32_t flags) {
    WindowStyle result;
    std::uint32_t style = flags & ~WINDOW_NO_GADGET_LIST;
    if ((style & ~(WINDOW_SCREEN_CENTERED | WINDOW_PARENT_CENTERED | WINDOW_INVISIBLE)) == 0) style |= WINDOW_CAPTION;
    result.hidden = (style & WINDOW_INVISIBLE) != 0;
    style &= ~WINDOW_INVISIBLE;
    if ((style & WINDOW_TOOL) != 0) {
        style = (style & ~TOOL_CLEARED_BITS) | WINDOW_CAPTION;
        result.extended = TOOL_WINDOW_EXTENDED;
    }
    result.style = style & ~LAYER_BITS;
    return result;
}

Placement place_window(std::uint32_t flags, std::int32_t x, std::int32_t y, Size outer, Size screen,
                       const Rect& reference) {
    Placement placement;
    placement.frame = {x, y, outer.width, outer.height};
    if ((flags & WINDOW_SCREEN_CENTERED) != 0) {
        placement.frame.width = std::min(outer.width, screen.width);
        placement.frame.height = std::min(outer.height, screen.height);
        placement.frame.x = (screen.width - placement.frame.width) / 2;
        placement.frame.y = (screen.height - placement.frame.height) / 2;
    } else if ((flags & WINDOW_PARENT_CENTERED) != 0) {
        if (reference.width > 0 || reference.height > 0) {
            placement.frame.x = std::max(0, reference.x + (reference.width - outer.width) / 2);
            placement.frame.y = std::max(0, reference.y + (reference.height - outer.height) / 2);
        }
    } else if (x == POSITION_DEFAULT || y == POSITION_DEFAULT) {
        placement.platform_chooses = true;
    }
    return placement;
}

std::int32_t font_character_height(std::int32_t points, std::int32_t dpi) {
    const std::int64_t product = static_cast<std::int64_t>(points) * dpi;
    const std::int64_t magnitude = ((product < 0 ? -product : product) + 36) / 72;
    return static_cast<std::int32_t>(product < 0 ? magnitude : -magnitude);
}

std::int32_t next_focus(std::int32_t count, std::int32_t current, bool forward) {
    if (count <= 0) return -1;
    if (current < 0 || current >= count) return forward ? 0 : count - 1;
    return forward ? (current + 1) % count : (current + count - 1) % count;
}

} // namespace lum
