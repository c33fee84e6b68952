// runtime/window/win32/gadget_kinds.cpp: what text gadgets (colours) and buttons (checked state) do of their own.
#include "runtime/window/window.h"
#include "runtime/window/win32/window_records.h"

namespace lum::win32 {
namespace {

bool is_color_request(UINT message) { return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC; }

// The colour request that the parent receives when the text is painted.
bool paint_text_colors(GadgetRecord& gadget, UINT message, WPARAM wparam, LPARAM, LRESULT& answer) {
    if (!is_color_request(message) || (gadget.front == DEFAULT_VALUE && gadget.back == DEFAULT_VALUE)) return false;
    const auto dc = reinterpret_cast<HDC>(wparam);
    if (gadget.front != DEFAULT_VALUE) SetTextColor(dc, static_cast<COLORREF>(gadget.front));
    if (gadget.back == DEFAULT_VALUE) {
        SetBkColor(dc, GetSysColor(COLOR_3DFACE));
        answer = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_3DFACE));
    } else {
        SetBkColor(dc, static_cast<COLORREF>(gadget.back));
        answer = reinterpret_cast<LRESULT>(gadget.back_brush.get());
    }
    return true;
}

void release_back_brush(GadgetRecord& gadget) { gadget.back_brush.reset(); }

void set_text_color(GadgetRecord& gadget, std::int32_t type, std::int32_t color) {
    if (type == GADGET_COLOR_FRONT) {
        gadget.front = color;
    } else if (type == GADGET_COLOR_BACK) {
        gadget.back_brush.reset();
        gadget.back = color;
        if (color != DEFAULT_VALUE) gadget.back_brush = CachedBrush(static_cast<COLORREF>(color));
    }
    repaint_gadget(gadget.control.get());
}

std::int32_t get_text_color(const GadgetRecord& gadget, std::int32_t type) {
    if (type == GADGET_COLOR_FRONT) return gadget.front;
    if (type == GADGET_COLOR_BACK) return gadget.back;
    return DEFAULT_VALUE;
}

std::int32_t get_checked(const GadgetRecord& gadget) {
    return SendMessageA(gadget.control.get(), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void set_checked(GadgetRecord& gadget, std::int32_t state) {
    SendMessageA(gadget.control.get(), BM_SETCHECK, state != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
}

} // namespace

const GadgetKind TEXT_KIND = {3,       paint_text_colors, release_back_brush, nullptr,
                              nullptr, set_text_color,    get_text_color};
const GadgetKind BUTTON_KIND = {1, nullptr, nullptr, get_checked, set_checked, nullptr, nullptr};

} // namespace lum::win32
