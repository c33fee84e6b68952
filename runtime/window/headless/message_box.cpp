// runtime/window/headless/message_box.cpp: message boxes of the headless build, written to standard error.
#include <cstdio>
#include <vector>

#include "runtime/window/headless/driver.h"
#include "runtime/window/window.h"

namespace lum {
namespace {

std::vector<headless::ShownMessage>& shown() {
    static std::vector<headless::ShownMessage> messages;
    return messages;
}

} // namespace

std::int32_t message_box(std::string_view title, std::string_view text, std::uint32_t) {
    shown().push_back({std::string(title), std::string(text)});
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(), static_cast<int>(text.size()),
                 text.data());
    std::fflush(stderr);
    return 1;
}

namespace headless {

const std::vector<ShownMessage>& shown_messages() { return shown(); }

} // namespace headless
} // namespace lum
