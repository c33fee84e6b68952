// tests/testrun/closing_user_headless.cpp: presses and a close request queued for the headless closing screen.
#include "closing_user.h"
#include "runtime/window/headless/driver.h"

namespace lum::testing_support {

ClosingScreenUser::ClosingScreenUser(std::vector<int> buttons, std::string) {
    for (const int button : buttons)
        headless::press_button(button);
    headless::request_close(0);
}

ClosingScreenUser::~ClosingScreenUser() {
    if (hands_.joinable()) hands_.join();
}

} // namespace lum::testing_support
