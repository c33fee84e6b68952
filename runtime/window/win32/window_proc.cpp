// runtime/window/win32/window_proc.cpp: the one window procedure, which turns platform messages into events.
#include <windows.h>

#include <commctrl.h>

#include "runtime/window/events.h"
#include "runtime/window/window.h"
#include "runtime/window/win32/window_records.h"

namespace lum::win32 {
namespace {

void on_size(WindowRecord& record, WPARAM kind) {
    const std::intptr_t number = record.number;
    switch (kind) {
    case SIZE_RESTORED:
        if (record.minimized_or_maximized) {
            record.minimized_or_maximized = false;
            events().queue(EVENT_RESTORE_WINDOW, 0, number, 0);
        }
        events().queue(EVENT_SIZE_WINDOW, 0, number, 0);
        break;
    case SIZE_MINIMIZED:
        record.minimized_or_maximized = true;
        events().queue(EVENT_MINIMIZE_WINDOW, 0, number, 0);
        break;
    case SIZE_MAXIMIZED:
        record.minimized_or_maximized = true;
        events().queue(EVENT_MAXIMIZE_WINDOW, 0, number, 0);
        events().queue(EVENT_SIZE_WINDOW, 0, number, 0);
        break;
    default: events().queue(EVENT_SIZE_WINDOW, 0, number, 0); break;
    }
}

// Activation is not passed on, so the focus is put back here: on the control that had it, or else on
// the window itself, which is where the platform's default would have put it.
LRESULT on_activate(WindowRecord& record, HWND window, WPARAM wparam) {
    if (LOWORD(wparam) != WA_INACTIVE) {
        const HWND saved = record.saved_focus;
        const bool minimized = HIWORD(wparam) != 0;
        if (!minimized) SetFocus(saved != nullptr && IsChild(window, saved) ? saved : window);
        events().queue(EVENT_ACTIVATE_WINDOW, 0, record.number, 0);
    } else {
        const HWND focus = GetFocus();
        record.saved_focus = IsChild(window, focus) ? focus : nullptr;
        SendMessageA(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
        events().queue(EVENT_DEACTIVATE_WINDOW, 0, record.number, 0);
    }
    return 1;
}

LRESULT on_erase_background(WindowRecord& record, HWND window, WPARAM wparam) {
    events().queue(EVENT_REPAINT, 0, record.number, 0);
    if (!record.background) return DefWindowProcA(window, WM_ERASEBKGND, wparam, 0);
    RECT client{};
    GetClientRect(window, &client);
    FillRect(reinterpret_cast<HDC>(wparam), &client, record.background.get());
    return 1;
}

bool offer_to_gadget(GadgetRecord* gadget, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& answer) {
    return gadget != nullptr && gadget->kind->handle_message != nullptr &&
           gadget->kind->handle_message(*gadget, message, wparam, lparam, answer);
}

LRESULT on_command(WindowRecord& record, HWND window, WPARAM wparam, LPARAM lparam) {
    const auto control = reinterpret_cast<HWND>(lparam);
    if (control != nullptr) {
        GadgetRecord* gadget = gadget_record_of(control);
        if (gadget == nullptr) return DefWindowProcA(window, WM_COMMAND, wparam, lparam);
        LRESULT answer = 0;
        if (offer_to_gadget(gadget, WM_COMMAND, wparam, lparam, answer)) return answer;
        events().build(EVENT_GADGET, gadget->number, record.number, HIWORD(wparam));
        return 0;
    }
    const WORD command = LOWORD(wparam);
    if (command == COMMAND_NEXT_CONTROL || command == COMMAND_PREVIOUS_CONTROL) {
        move_focus(window, command == COMMAND_NEXT_CONTROL);
    } else {
        events().build(EVENT_MENU, command, record.number, -1);
    }
    return 0;
}

// Notifications, scroll messages and colour requests go to the handler of the gadget that sent them.
LRESULT to_gadget_handler(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    HWND control = reinterpret_cast<HWND>(lparam);
    if (message == WM_NOTIFY) control = lparam != 0 ? reinterpret_cast<const NMHDR*>(lparam)->hwndFrom : nullptr;
    LRESULT answer = 0;
    if (control != nullptr && offer_to_gadget(gadget_record_of(control), message, wparam, lparam, answer)) {
        return answer;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

// No window of this program has size limits of its own; a tool window keeps a width of at least 1.
void on_min_max_info(const WindowRecord& record, MINMAXINFO& info) {
    if (record.tool && info.ptMinTrackSize.x < 1) info.ptMinTrackSize.x = 1;
}

BOOL CALLBACK forward_color_change(HWND child, LPARAM) {
    SendMessageA(child, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

// The platform destroyed the window (its owner went first): the record must not destroy it again.
void forget_window(WindowRecord& record, HWND window) {
    RemovePropA(window, WINDOW_PROPERTY);
    if (record.window.get() == window) record.window.release();
    if (gadget_list().window == window) gadget_list().window = nullptr;
}

// A click concerns no object: the object field keeps what the previous event left there.
void on_mouse(const WindowRecord& record, std::int32_t code) { events().build_keeping_object(code, record.number, -1); }

} // namespace

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    WindowRecord* record = window_record_of(window);
    events().set_window(record != nullptr ? record->number : std::intptr_t{-1});
    if (record == nullptr) return DefWindowProcA(window, message, wparam, lparam);
    const bool itself = GetPropA(window, WINDOW_PROPERTY) == record;
    switch (message) {
    case WM_CLOSE:
    case WM_MOVE:
        // Only the program closes a window: the close box merely asks.
        if (itself) events().queue(static_cast<std::int32_t>(message), record->number, record->number, 0);
        return 0;
    case WM_SIZE:
        if (itself) on_size(*record, wparam);
        return 0;
    case WM_ACTIVATE: return on_activate(*record, window, wparam);
    case WM_ERASEBKGND: return on_erase_background(*record, window, wparam);
    case WM_COMMAND: return on_command(*record, window, wparam, lparam);
    case WM_TIMER: events().build(EVENT_TIMER, static_cast<std::intptr_t>(wparam), record->number, -1); return 0;
    case WM_LBUTTONUP: on_mouse(*record, EVENT_LEFT_CLICK); return 0;
    case WM_LBUTTONDBLCLK: on_mouse(*record, EVENT_LEFT_DOUBLE_CLICK); return 0;
    case WM_RBUTTONUP: on_mouse(*record, EVENT_RIGHT_CLICK); return 0;
    case WM_NOTIFY:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: return to_gadget_handler(window, message, wparam, lparam);
    case WM_GETMINMAXINFO: on_min_max_info(*record, *reinterpret_cast<MINMAXINFO*>(lparam)); return 0;
    case WM_SYSCOLORCHANGE: EnumChildWindows(window, forward_color_change, 0); break;
    case WM_NCDESTROY: forget_window(*record, window); break;
    default: break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

} // namespace lum::win32
