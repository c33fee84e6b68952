// tests/testrun/closing_user_win32.cpp: clicks posted to the progress window's buttons from another thread.
#include <windows.h>

#include <algorithm>

#include "closing_user.h"
#include "test_support.h"

namespace lum::testing_support {
namespace {

std::size_t targets_in(const std::string& record) {
    const std::string opened = file_contents(record);
    return static_cast<std::size_t>(std::count(opened.begin(), opened.end(), '['));
}

// The buttons appear only once the closing screen is up; the clicks are posted after that, to the
// window that owns them, as their own notifications would be.
void press_then_close(const std::vector<int>& buttons, const std::string& record) {
    HWND window = nullptr;
    const bool ready = wait_until([&] {
        window = FindWindowA("WindowClass_0", nullptr);
        return window != nullptr && GetDlgItem(window, buttons.empty() ? 8 : buttons.back()) != nullptr;
    });
    if (!ready) return;
    for (const int button : buttons) {
        const std::size_t before = targets_in(record);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
        wait_until([&] { return targets_in(record) > before; });
    }
    PostMessageA(window, WM_CLOSE, 0, 0);
}

} // namespace

ClosingScreenUser::ClosingScreenUser(std::vector<int> buttons, std::string record)
    : hands_([pressed = std::move(buttons), opened = std::move(record)] { press_then_close(pressed, opened); }) {}

ClosingScreenUser::~ClosingScreenUser() {
    if (hands_.joinable()) hands_.join();
}

} // namespace lum::testing_support
