// runtime/window/win32/inspect.cpp: reads back what the platform shows of windows, gadgets and fonts.
#include "runtime/window/inspect.h"

#include "runtime/window/win32/window_records.h"

namespace lum {
namespace {

Rect rect_from(const RECT& box) { return {box.left, box.top, box.right - box.left, box.bottom - box.top}; }

std::string text_of(HWND window) {
    if (window == nullptr) return {};
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace

Size screen_size() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

Rect window_frame(ObjectNumber number) {
    RECT box{};
    const HWND window = win32::window_handle(number);
    if (window == nullptr || !GetWindowRect(window, &box)) return {};
    return rect_from(box);
}

Rect window_client_area(ObjectNumber number) {
    RECT box{};
    const HWND window = win32::window_handle(number);
    if (window == nullptr || !GetClientRect(window, &box)) return {};
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return {origin.x, origin.y, box.right, box.bottom};
}

std::string window_title(ObjectNumber number) { return text_of(win32::window_handle(number)); }

Rect gadget_box(ObjectNumber number) {
    RECT box{};
    const HWND control = win32::gadget_handle(number);
    if (control == nullptr || !GetWindowRect(control, &box)) return {};
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&box), 2);
    return rect_from(box);
}

std::string get_gadget_text(ObjectNumber number) { return text_of(win32::gadget_handle(number)); }

std::intptr_t gadget_font(ObjectNumber number) {
    const HWND control = win32::gadget_handle(number);
    return control != nullptr ? static_cast<std::intptr_t>(SendMessageA(control, WM_GETFONT, 0, 0)) : 0;
}

std::int32_t font_height(ObjectNumber number) {
    const UniqueFont* font = win32::font_table().find(number);
    LOGFONTA description{};
    if (font == nullptr || !*font || GetObjectA(font->get(), sizeof(description), &description) == 0) return 0;
    return description.lfHeight;
}

} // namespace lum
