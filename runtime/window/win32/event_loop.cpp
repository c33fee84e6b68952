// runtime/window/win32/event_loop.cpp: wait_event, and keeping the windows painted while the script works.
#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "runtime/window/events.h"
#include "runtime/window/window.h"
#include "runtime/window/win32/window_records.h"

namespace lum {
namespace win32 {
namespace {

// Any input at all, posted messages from other threads included.
constexpr DWORD ANY_INPUT = QS_ALLINPUT | QS_ALLPOSTMESSAGE;

// One message for wait_event; false when none came within the time-out (negative: no limit).
bool fetch_message(MSG& message, std::int32_t timeout_ms) {
    if (timeout_ms < 0) return GetMessageA(&message, nullptr, 0, 0) != -1;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return true;
    if (timeout_ms == 0) return false;
    const DWORD woke = MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeout_ms), ANY_INPUT);
    if (woke == WAIT_TIMEOUT || woke == WAIT_FAILED) return false;
    return PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != FALSE;
}

bool has_class(HWND window, const char* name) {
    char found[64] = {};
    return window != nullptr && GetClassNameA(window, found, sizeof(found)) > 0 && _stricmp(found, name) == 0;
}

// A hot-key control wants Tab for itself, and so does an editable rich-edit control for a plain Tab.
bool focus_keeps_tab(const MSG& message) {
    const HWND focus = GetFocus();
    if (has_class(focus, HOTKEY_CLASSA)) return true;
    const bool rich_edit =
        has_class(focus, "RichEdit20A") || has_class(focus, "RichEdit20W") || has_class(focus, "RICHEDIT50W");
    const bool editable = (GetWindowLongPtrA(focus, GWL_STYLE) & ES_READONLY) == 0;
    const bool plain_tab = message.message == WM_KEYDOWN && message.wParam == VK_TAB && GetKeyState(VK_SHIFT) >= 0 &&
                           GetKeyState(VK_CONTROL) >= 0;
    return rich_edit && editable && plain_tab;
}

// Tab and Shift+Tab of the active window's keyboard table, if the active window is one of ours.
bool translate_shortcut(MSG& message) {
    const HWND active = GetActiveWindow();
    const WindowRecord* record = active != nullptr ? window_record_of(active) : nullptr;
    if (record == nullptr || !record->keyboard || focus_keeps_tab(message)) return false;
    if (!TranslateAcceleratorA(active, record->keyboard.get(), &message)) return false;
    SendMessageA(active, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    return true;
}

void deliver(MSG& message) {
    if (translate_shortcut(message)) return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

bool is_input_for_the_script(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

} // namespace
} // namespace win32

std::int32_t wait_event(std::int32_t timeout_ms) {
    using namespace win32;
    EventState& state = events();
    state.begin();
    if (!state.take_queued()) {
        MSG message{};
        if (!fetch_message(message, timeout_ms)) return 0;
        deliver(message);
        // No event: the raw message, with the window that the last delivered message reached.
        if (!state.built()) {
            state.build_raw(static_cast<std::int32_t>(message.message), static_cast<std::intptr_t>(message.wParam),
                            message.lParam);
        }
    }
    return state.finish();
}

// Keys and clicks in the client area are dropped, since the script has no use for them until its
// closing screen; everything else (painting, the frame's own mouse handling) goes through, so the
// window can be moved and its close box pressed. EventState keeps only the close request while quiet.
void keep_windows_painted() {
    using namespace win32;
    events().set_quiet(true);
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (is_input_for_the_script(message.message)) continue;
        DispatchMessageA(&message);
    }
    events().set_quiet(false);
}

} // namespace lum
