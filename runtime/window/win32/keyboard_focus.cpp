// runtime/window/win32/keyboard_focus.cpp: Tab and Shift+Tab between a window's controls.
#include <vector>

#include "runtime/window/geometry.h"
#include "runtime/window/win32/window_records.h"

namespace lum::win32 {
namespace {

bool takes_tab_focus(HWND control) {
    return IsWindowEnabled(control) && IsWindowVisible(control) &&
           (GetWindowLongPtrA(control, GWL_STYLE) & WS_TABSTOP) != 0;
}

// Child windows are listed in creation order, since the platform puts each new child at the bottom.
std::vector<HWND> tab_controls(HWND window) {
    std::vector<HWND> controls;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (takes_tab_focus(child)) controls.push_back(child);
    }
    return controls;
}

// The window's own child that holds the focus; focus inside a composite control (an address field's
// edit boxes, an extended combo box's edit) counts as being on the composite.
HWND focused_child(HWND window) {
    HWND at = GetFocus();
    while (at != nullptr && GetParent(at) != window)
        at = GetParent(at);
    return at;
}

} // namespace

void move_focus(HWND window, bool forward) {
    const std::vector<HWND> controls = tab_controls(window);
    const HWND current = focused_child(window);
    std::int32_t index = -1;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (controls[i] == current) index = static_cast<std::int32_t>(i);
    }
    const std::int32_t next = next_focus(static_cast<std::int32_t>(controls.size()), index, forward);
    if (next >= 0) SetFocus(controls[static_cast<std::size_t>(next)]);
}

} // namespace lum::win32
