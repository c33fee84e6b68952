// tests/window/win32/win32_window_fixture.h: a started window layer, and windows that every test closes again.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/window/events.h"
#include "runtime/window/window.h"

namespace lum::testing_support {

// The progress window's flags: title bar, close box, centred on the screen.
inline constexpr std::uint32_t SHOWN_WINDOW = WINDOW_CAPTION | WINDOW_SYSTEM_MENU | WINDOW_SCREEN_CENTERED;

// Names parameterised cases after their `name` field.
template <class Case> std::string case_name(const ::testing::TestParamInfo<Case>& tested) { return tested.param.name; }

class Win32Window : public ::testing::Test {
protected:
    void SetUp() override { window_layer_start(); }
    void TearDown() override {
        close_all_windows();
        free_all_fonts();
        set_gadget_font(DEFAULT_VALUE, DEFAULT_VALUE);
    }

    static HWND open(ObjectNumber number, std::uint32_t flags = SHOWN_WINDOW) {
        return reinterpret_cast<HWND>(open_window(number, 0, 0, 600, 270, "Window test", flags));
    }

    // Takes every event that opening and showing left behind (activation, erasure, painting), so that a
    // test sees only what it caused. Bounded: a window that never settles fails the test instead.
    static void drain_events() {
        int taken = 0;
        while (wait_event(0) != 0)
            ASSERT_LT(++taken, 10000) << "the window never settled";
    }
};

} // namespace lum::testing_support
