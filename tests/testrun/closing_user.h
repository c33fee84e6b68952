// tests/testrun/closing_user.h: a user at the closing screen: presses buttons in turn, then closes the window.
#pragma once

#include <string>
#include <thread>
#include <vector>

namespace lum::testing_support {

class ClosingScreenUser {
public:
    // Begins pressing `buttons` of window 0 as soon as they exist, then asks the window to close. Where
    // presses are real clicks, each waits for the one before it to have added its "[target]" line to
    // `record`: two openers appending to one file at once could lose a line under Wine.
    ClosingScreenUser(std::vector<int> buttons, std::string record);
    ~ClosingScreenUser();
    ClosingScreenUser(const ClosingScreenUser&) = delete;
    ClosingScreenUser& operator=(const ClosingScreenUser&) = delete;

private:
    std::thread hands_;
};

} // namespace lum::testing_support
