// tests/window/win32/win32_message_box_test.cpp: the box disables the program's windows, then restores exactly those.
#include <thread>

#include "test_support.h"
#include "win32_window_fixture.h"

namespace lum {
namespace {

using testing_support::Win32Window;

constexpr const char* BOX_TITLE = "Message box under test";

bool is_topmost(HWND window) { return (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

struct SeenWhileUp {
    bool found = false;
    bool enabled[4] = {};
    bool topmost = true;
};

// From a second thread: find the box, note what the windows look like while it is up, then press OK.
void answer_box(const HWND (&windows)[4], SeenWhileUp& seen) {
    HWND box = nullptr;
    seen.found = testing_support::wait_until([&] { return (box = FindWindowA("#32770", BOX_TITLE)) != nullptr; });
    if (!seen.found) return;
    for (int i = 0; i < 4; ++i)
        seen.enabled[i] = IsWindowEnabled(windows[i]) != FALSE;
    seen.topmost = is_topmost(windows[3]);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

TEST_F(Win32Window, MessageBoxDisablesTheVisibleEnabledWindowsAndRestoresExactlyThem) {
    const HWND active = open(0);
    const HWND other = open(1);
    const HWND already_disabled = open(2);
    const HWND topmost = open(3);
    const HWND hidden = open(4, WINDOW_CAPTION | WINDOW_INVISIBLE);
    EnableWindow(already_disabled, FALSE);
    SetWindowPos(topmost, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetForegroundWindow(active);
    drain_events();
    const HWND watched[4] = {active, other, already_disabled, topmost};
    SeenWhileUp seen;
    std::thread answerer([&] { answer_box(watched, seen); });
    const std::int32_t pressed = message_box(BOX_TITLE, "Text");
    answerer.join();
    ASSERT_TRUE(seen.found) << "the box never appeared";
    EXPECT_EQ(pressed, IDOK);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(seen.enabled[i]) << "window " << i << " stayed usable under the box";
    EXPECT_FALSE(seen.topmost) << "a topmost window stayed above the box";
    EXPECT_TRUE(IsWindowEnabled(active));
    EXPECT_TRUE(IsWindowEnabled(other));
    EXPECT_FALSE(IsWindowEnabled(already_disabled)) << "enabled a window that was disabled before";
    EXPECT_TRUE(IsWindowEnabled(topmost));
    EXPECT_TRUE(IsWindowEnabled(hidden));
    EXPECT_TRUE(is_topmost(topmost)) << "the topmost window was not put back";
}

} // namespace
} // namespace lum
