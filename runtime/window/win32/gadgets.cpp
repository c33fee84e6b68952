// runtime/window/win32/gadgets.cpp: numbered controls in the gadget list window, and the calls that change them.
#include <string>

#include "runtime/window/inspect.h"
#include "runtime/window/window.h"
#include "runtime/window/win32/window_records.h"

namespace lum {
namespace win32 {
namespace {

constexpr DWORD TEXT_STYLE = 0x50020000;   // child, visible, group
constexpr DWORD BUTTON_STYLE = 0x50030000; // child, visible, group, tab stop
constexpr std::uint32_t TEXT_SUNKEN = 0x20000;

HFONT stock_gui_font() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

// The control is finally going: give back what the kind holds, take the number off the control and free
// the slot. A record whose table slot is already being freed is left to its own destructor.
void forget_gadget(GadgetRecord& gadget, HWND control) {
    SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gadget.previous));
    RemovePropA(control, GADGET_PROPERTY);
    if (gadget.kind->release != nullptr) gadget.kind->release(gadget);
    gadget.control.release();
    if (gadget_table().find(gadget.number) == &gadget) gadget_table().free(gadget.number);
}

// Controls are subclassed only to notice their destruction; every message goes on unchanged.
LRESULT CALLBACK gadget_procedure(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
    GadgetRecord* gadget = gadget_record_of(control);
    if (gadget == nullptr) return DefWindowProcA(control, message, wparam, lparam);
    const WNDPROC previous = gadget->previous;
    if (message == WM_NCDESTROY) forget_gadget(*gadget, control);
    return CallWindowProcA(previous, control, message, wparam, lparam);
}

std::intptr_t create_gadget(ObjectNumber number, const GadgetKind& kind, const char* platform_class, DWORD style,
                            DWORD extended, const Rect& box, std::string_view text) {
    const std::string text_copy(text);
    const HWND control = CreateWindowExA(extended, platform_class, text_copy.c_str(), style, box.x, box.y, box.width,
                                         box.height, gadget_list().window, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (control == nullptr) return 0;
    auto placed = gadget_table().place(number, std::make_unique<GadgetRecord>());
    if (placed.object == nullptr) {
        DestroyWindow(control);
        return 0;
    }
    GadgetRecord& gadget = *placed.object;
    gadget.number = placed.number;
    gadget.kind = &kind;
    gadget.control.reset(control);
    SetPropA(control, GADGET_PROPERTY, &gadget);
    gadget.previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gadget_procedure)));
    SetWindowLongPtrA(control, GWLP_ID, static_cast<LONG_PTR>(placed.number));
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(gadget_list().font), FALSE);
    return number == ANY_NUMBER ? placed.number : reinterpret_cast<std::intptr_t>(control);
}

} // namespace

ObjectTable<GadgetRecord>& gadget_table() {
    static ObjectTable<GadgetRecord> table(50);
    return table;
}

GadgetList& gadget_list() {
    static GadgetList list{nullptr, stock_gui_font()};
    return list;
}

GadgetRecord* gadget_record_of(HWND control) { return static_cast<GadgetRecord*>(GetPropA(control, GADGET_PROPERTY)); }

HWND gadget_handle(ObjectNumber number) {
    const GadgetRecord* gadget = gadget_table().find(number);
    return gadget != nullptr ? gadget->control.get() : nullptr;
}

void repaint_gadget(HWND control) {
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
}

} // namespace win32

std::intptr_t create_text_gadget(ObjectNumber number, std::int32_t x, std::int32_t y, std::int32_t width,
                                 std::int32_t height, std::string_view text, std::uint32_t flags) {
    const DWORD extended = (flags & win32::TEXT_SUNKEN) != 0 ? WS_EX_STATICEDGE : 0;
    return win32::create_gadget(number, win32::TEXT_KIND, "Static", flags | win32::TEXT_STYLE, extended,
                                {x, y, width, height}, text);
}

std::intptr_t create_button_gadget(ObjectNumber number, std::int32_t x, std::int32_t y, std::int32_t width,
                                   std::int32_t height, std::string_view text, std::uint32_t flags) {
    return win32::create_gadget(number, win32::BUTTON_KIND, "Button", flags | win32::BUTTON_STYLE, 0,
                                {x, y, width, height}, text);
}

void set_gadget_text(ObjectNumber number, std::string_view text) {
    const HWND control = win32::gadget_handle(number);
    if (control == nullptr) return;
    SetWindowTextA(control, std::string(text).c_str());
    win32::repaint_gadget(control);
}

void set_gadget_color(ObjectNumber number, std::int32_t type, std::int32_t color) {
    win32::GadgetRecord* gadget = win32::gadget_table().find(number);
    if (gadget != nullptr && gadget->kind->set_color != nullptr) gadget->kind->set_color(*gadget, type, color);
}

std::int32_t get_gadget_color(ObjectNumber number, std::int32_t type) {
    const win32::GadgetRecord* gadget = win32::gadget_table().find(number);
    if (gadget == nullptr || gadget->kind->get_color == nullptr) return DEFAULT_VALUE;
    return gadget->kind->get_color(*gadget, type);
}

void set_gadget_state(ObjectNumber number, std::int32_t state) {
    win32::GadgetRecord* gadget = win32::gadget_table().find(number);
    if (gadget != nullptr && gadget->kind->set_state != nullptr) gadget->kind->set_state(*gadget, state);
}

std::int32_t get_gadget_state(ObjectNumber number) {
    const win32::GadgetRecord* gadget = win32::gadget_table().find(number);
    if (gadget == nullptr || gadget->kind->get_state == nullptr) return 0;
    return gadget->kind->get_state(*gadget);
}

void set_gadget_font(ObjectNumber number, std::intptr_t font) {
    const HFONT chosen = font == DEFAULT_VALUE ? win32::stock_gui_font() : reinterpret_cast<HFONT>(font);
    if (number == DEFAULT_VALUE) {
        win32::gadget_list().font = chosen;
        return;
    }
    const HWND control = win32::gadget_handle(number);
    if (control != nullptr) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), TRUE);
}

} // namespace lum
