// runtime/window/win32/message_box.cpp: message boxes that are modal for every window of the program.
#include <windows.h>

#include <string>
#include <vector>

#include "runtime/window/window.h"

namespace lum {
namespace {

struct NotedWindow {
    HWND window;
    bool topmost;
    bool disabled_here;
};

struct Survey {
    HWND foreground;
    std::vector<NotedWindow> noted;
};

BOOL CALLBACK note_window(HWND window, LPARAM survey_address) {
    auto& survey = *reinterpret_cast<Survey*>(survey_address);
    if (!IsWindowVisible(window) || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return TRUE;
    const bool topmost = (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    const bool disable = IsWindowEnabled(window) && window != survey.foreground;
    if (disable) EnableWindow(window, FALSE);
    survey.noted.push_back({window, topmost, disable});
    return TRUE;
}

void place_in_band(HWND window, HWND band) {
    SetWindowPos(window, band, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// A topmost window of ours would otherwise stay above the box and hide it.
Survey disable_program_windows() {
    Survey survey{GetForegroundWindow(), {}};
    EnumWindows(note_window, reinterpret_cast<LPARAM>(&survey));
    for (const NotedWindow& noted : survey.noted) {
        if (noted.topmost) place_in_band(noted.window, HWND_NOTOPMOST);
    }
    return survey;
}

void restore_program_windows(const Survey& survey) {
    for (const NotedWindow& noted : survey.noted) {
        if (!IsWindow(noted.window)) continue;
        if (noted.disabled_here) EnableWindow(noted.window, TRUE);
        if (noted.topmost) place_in_band(noted.window, HWND_TOPMOST);
    }
}

HWND box_owner(HWND foreground) {
    DWORD process = 0;
    if (foreground != nullptr) GetWindowThreadProcessId(foreground, &process);
    return process == GetCurrentProcessId() ? foreground : nullptr;
}

} // namespace

std::int32_t message_box(std::string_view title, std::string_view text, std::uint32_t style) {
    const std::string title_text(title);
    const std::string body_text(text);
    const Survey survey = disable_program_windows();
    const int pressed = MessageBoxA(box_owner(survey.foreground), body_text.c_str(), title_text.c_str(), style);
    restore_program_windows(survey);
    return pressed;
}

} // namespace lum
