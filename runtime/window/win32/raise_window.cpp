// runtime/window/win32/raise_window.cpp: raises a window of this layer, in any program, found by its title's start.
#include <windows.h>

#include <string_view>

#include "runtime/window/window.h"
#include "runtime/window/win32/window_records.h"

namespace lum {
namespace {

struct WindowSearch {
    std::string_view title_start;
    HWND found = nullptr;
};

// Every window this layer opens carries its record's property, whichever program opened it; reading a
// title of another program's window asks nothing of that program.
BOOL CALLBACK match_window(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<WindowSearch*>(data);
    if (GetPropA(window, win32::WINDOW_PROPERTY) == nullptr) return TRUE;
    char title[256] = {};
    const int length = GetWindowTextA(window, title, sizeof(title));
    if (std::string_view(title, static_cast<std::size_t>(length)).substr(0, search.title_start.size()) !=
        search.title_start) {
        return TRUE;
    }
    search.found = window;
    return FALSE;
}

} // namespace

// The restore is only posted: the other program may be busy with a tool and must not hold this one up.
bool raise_window_titled(std::string_view title_start) {
    WindowSearch search{title_start};
    EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) return false;
    if (IsIconic(search.found)) ShowWindowAsync(search.found, SW_RESTORE);
    SetForegroundWindow(search.found);
    return true;
}

} // namespace lum
