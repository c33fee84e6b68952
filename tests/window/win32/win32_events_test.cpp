// tests/window/win32/win32_events_test.cpp: real Win32 messages through wait_event: order, duplicates, quiet mode, Tab.
#include <string>
#include <utility>
#include <vector>

#include "runtime/window/inspect.h"
#include "win32_window_fixture.h"

namespace lum {
namespace {

using testing_support::Win32Window;

class Win32Events : public Win32Window {};

TEST_F(Win32Events, CloseRequestComesRawFirstAndAsTheCloseEventOnTheNextCall) {
    const HWND window = open(5);
    drain_events();
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(wait_event(0), WM_CLOSE);
    EXPECT_EQ(event_type(), -1);
    EXPECT_EQ(wait_event(0), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(event_type(), 0);
    EXPECT_EQ(event_gadget(), 5);
    EXPECT_EQ(event_window(), 5);
    EXPECT_EQ(wait_event(0), 0);
    EXPECT_TRUE(IsWindowVisible(window)) << "only the program closes its window";
}

struct ClickCase {
    const char* name;
    bool through_the_button; // BM_CLICK to the control, else WM_COMMAND to the window
    WORD notification;
};

class Win32Clicks : public Win32Window, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(Win32Clicks, ButtonClickThenCloseLeavesTheWindowNumberAsObject) {
    const HWND window = open(0);
    const auto button = reinterpret_cast<HWND>(create_button_gadget(9, 200, 225, 130, 30, "Speed Test"));
    ASSERT_NE(button, nullptr);
    drain_events();
    if (GetParam().through_the_button) {
        PostMessageA(button, BM_CLICK, 0, 0);
    } else {
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(9, GetParam().notification), reinterpret_cast<LPARAM>(button));
    }
    EXPECT_EQ(wait_event(0), EVENT_GADGET);
    EXPECT_EQ(event_gadget(), 9);
    EXPECT_EQ(event_type(), GetParam().notification);
    EXPECT_EQ(event_window(), 0);
    drain_events();
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(wait_event(0), WM_CLOSE);
    EXPECT_EQ(wait_event(0), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(event_gadget(), 0);
}

INSTANTIATE_TEST_SUITE_P(Both, Win32Clicks,
                         ::testing::Values(ClickCase{"PostedCommand", false, BN_CLICKED},
                                           ClickCase{"ButtonPressed", true, BN_CLICKED},
                                           ClickCase{"OtherNotification", false, BN_DOUBLECLICKED}),
                         testing_support::case_name<ClickCase>);

struct SentMessage {
    UINT message;
    WPARAM wparam;
};

struct QueueCase {
    const char* name;
    std::vector<SentMessage> sent;
    std::vector<std::int32_t> expected;
};

class Win32Queue : public Win32Window, public ::testing::WithParamInterface<QueueCase> {};

// Messages sent while no wait_event runs only queue events; the following calls hand them out in order.
TEST_P(Win32Queue, SentMessagesQueueTheirEventsOnce) {
    const HWND window = open(2);
    drain_events();
    const HDC dc = GetDC(window);
    for (const SentMessage& sent : GetParam().sent) {
        const WPARAM wparam = sent.message == WM_ERASEBKGND ? reinterpret_cast<WPARAM>(dc) : sent.wparam;
        SendMessageA(window, sent.message, wparam, 0);
    }
    ReleaseDC(window, dc);
    std::vector<std::int32_t> codes;
    for (std::int32_t code = wait_event(0); code != 0 && codes.size() < 20; code = wait_event(0)) {
        codes.push_back(code);
        EXPECT_EQ(event_window(), 2);
        EXPECT_EQ(event_type(), 0);
    }
    EXPECT_EQ(codes, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, Win32Queue,
    ::testing::Values(QueueCase{"TwoErasures", {{WM_ERASEBKGND, 0}, {WM_ERASEBKGND, 0}}, {EVENT_REPAINT}},
                      QueueCase{"TwoMoves", {{WM_MOVE, 0}, {WM_MOVE, 0}}, {EVENT_MOVE_WINDOW}},
                      QueueCase{"ErasureMoveErasure",
                                {{WM_ERASEBKGND, 0}, {WM_MOVE, 0}, {WM_ERASEBKGND, 0}},
                                {EVENT_REPAINT, EVENT_MOVE_WINDOW, EVENT_REPAINT}},
                      QueueCase{"MaximizedThenRestored",
                                {{WM_SIZE, SIZE_MAXIMIZED}, {WM_SIZE, SIZE_RESTORED}},
                                {EVENT_MAXIMIZE_WINDOW, EVENT_SIZE_WINDOW, EVENT_RESTORE_WINDOW, EVENT_SIZE_WINDOW}},
                      QueueCase{"Minimized", {{WM_SIZE, SIZE_MINIMIZED}}, {EVENT_MINIMIZE_WINDOW}},
                      QueueCase{"ResizedWhileNormal", {{WM_SIZE, SIZE_RESTORED}}, {EVENT_SIZE_WINDOW}}),
    testing_support::case_name<QueueCase>);

TEST_F(Win32Events, NothingPendingGivesZero) {
    open(0);
    drain_events();
    EXPECT_EQ(wait_event(0), 0);
    EXPECT_EQ(wait_event(20), 0);
}

TEST_F(Win32Events, MessageWithoutEventComesBackRawWithItsWindow) {
    const HWND four = open(4);
    const HWND six = open(6);
    drain_events();
    for (const auto& [window, number] : {std::pair{four, 4}, std::pair{six, 6}, std::pair{four, 4}}) {
        PostMessageA(window, WM_APP + 5, 11, 22);
        EXPECT_EQ(wait_event(1000), WM_APP + 5);
        EXPECT_EQ(event_window(), number);
        EXPECT_EQ(event_type(), -1);
        EXPECT_EQ(events().current().parameter1, 11);
        EXPECT_EQ(events().current().parameter2, 22);
    }
}

// While the script works, keys and clicks must not act on the controls (a space bar or a click would
// tick these check boxes), and nothing but the close request may wait for the closing screen.
TEST_F(Win32Events, KeepingWindowsPaintedDropsInputButKeepsTheCloseRequest) {
    const HWND window = open(0);
    const auto button = reinterpret_cast<HWND>(create_button_gadget(9, 200, 225, 130, 30, "Speed Test"));
    const auto keyed = reinterpret_cast<HWND>(create_button_gadget(10, 10, 10, 130, 30, "Keys", BS_AUTOCHECKBOX));
    const auto clicked = reinterpret_cast<HWND>(create_button_gadget(11, 10, 50, 130, 30, "Mouse", BS_AUTOCHECKBOX));
    drain_events();
    SetFocus(keyed);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(9, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    PostMessageA(window, WM_MOVE, 0, 0);
    PostMessageA(keyed, WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageA(keyed, WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001));
    PostMessageA(clicked, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(clicked, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PostMessageA(window, WM_CLOSE, 0, 0);
    InvalidateRect(window, nullptr, TRUE);
    keep_windows_painted();
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE)) << "the window was not painted";
    EXPECT_EQ(get_gadget_state(10), 0) << "keys reached a control";
    EXPECT_EQ(get_gadget_state(11), 0) << "a click reached a control";
    EXPECT_FALSE(events().quiet());
    EXPECT_EQ(wait_event(0), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(event_gadget(), 0);
    EXPECT_EQ(event_type(), 0);
    EXPECT_EQ(wait_event(0), 0);
}

TEST_F(Win32Events, ClosingAWindowTakesItsClassAndQueuedEvents) {
    const HWND window = open(3);
    drain_events();
    SendMessageA(window, WM_MOVE, 0, 0);
    WNDCLASSEXA found{};
    found.cbSize = sizeof(found);
    EXPECT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "WindowClass_3", &found));
    close_window(3);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(GetClassInfoExA(GetModuleHandleA(nullptr), "WindowClass_3", &found));
    EXPECT_EQ(wait_event(0), 0);
    const HWND reopened = open(3);
    EXPECT_TRUE(IsWindow(open(3)));
    EXPECT_FALSE(IsWindow(reopened)) << "opening a number again must close its window";
}

// An owned window is centred on its owner, and goes when the platform destroys it with the owner.
TEST_F(Win32Events, OwnedWindowIsCentredOnItsOwnerAndGoesWithIt) {
    const HWND owner = open(1);
    const auto owned = reinterpret_cast<HWND>(open_window(
        2, 0, 0, 200, 100, "Owned", WINDOW_CAPTION | WINDOW_PARENT_CENTERED, reinterpret_cast<std::intptr_t>(owner)));
    ASSERT_NE(owned, nullptr);
    RECT outer{}, inner{};
    GetWindowRect(owner, &outer);
    GetWindowRect(owned, &inner);
    EXPECT_NEAR((inner.left + inner.right) / 2, (outer.left + outer.right) / 2, 1);
    EXPECT_NEAR((inner.top + inner.bottom) / 2, (outer.top + outer.bottom) / 2, 1);
    close_window(1);
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_EQ(window_title(2), "");
    close_window(2);
    EXPECT_NE(open(2), nullptr) << "the number stayed blocked";
}

TEST_F(Win32Events, AnyNumberWindowsAndGadgetsAreNamedByTheirReference) {
    const std::intptr_t window = open_window(ANY_NUMBER, 0, 0, 200, 100, "Any", testing_support::SHOWN_WINDOW);
    const std::intptr_t button = create_button_gadget(ANY_NUMBER, 10, 10, 80, 30, "Any");
    ASSERT_NE(window, 0);
    ASSERT_NE(button, 0);
    drain_events();
    const HWND frame = FindWindowA(("WindowClass_" + std::to_string(window)).c_str(), nullptr);
    const HWND control = FindWindowExA(frame, nullptr, "Button", "Any");
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(control, GWLP_ID), button);
    PostMessageA(frame, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    EXPECT_EQ(wait_event(0), EVENT_GADGET);
    EXPECT_EQ(event_gadget(), button);
    EXPECT_EQ(event_window(), window);
    close_window(window);
    EXPECT_FALSE(IsWindow(control));
}

// Tab moves among enabled, visible buttons in creation order and wraps; text gadgets take no focus.
TEST_F(Win32Events, TabAndShiftTabFollowCreationOrder) {
    const HWND window = open(0);
    const auto first = reinterpret_cast<HWND>(create_button_gadget(1, 10, 10, 80, 30, "One"));
    create_text_gadget(2, 10, 50, 80, 30, "Text");
    const auto disabled = reinterpret_cast<HWND>(create_button_gadget(3, 10, 90, 80, 30, "Off"));
    const auto second = reinterpret_cast<HWND>(create_button_gadget(4, 10, 130, 80, 30, "Two"));
    const auto hidden = reinterpret_cast<HWND>(create_button_gadget(5, 10, 170, 80, 30, "Hidden"));
    const auto third = reinterpret_cast<HWND>(create_button_gadget(6, 100, 10, 80, 30, "Three"));
    EnableWindow(disabled, FALSE);
    ShowWindow(hidden, SW_HIDE);
    drain_events();
    ASSERT_EQ(GetActiveWindow(), window);
    struct Step {
        bool forward;
        HWND focused;
    };
    const Step steps[] = {{true, first},  {true, second},  {true, third}, {true, first},
                          {false, third}, {false, second}, {false, first}};
    for (const Step& step : steps) {
        if (step.forward) {
            // A real Tab key, through the window's keyboard table.
            PostMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 1);
        } else {
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(64002, 1), 0);
        }
        drain_events();
        EXPECT_EQ(GetFocus(), step.focused);
    }
}

} // namespace
} // namespace lum
