// runtime/window/headless/message_box.cpp: message boxes of the headless build, written to standard error.
#include <cstdio>

#include "runtime/window/window.h"

namespace lum {

std::int32_t message_box(std::string_view title, std::string_view text, std::uint32_t) {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(), static_cast<int>(text.size()),
                 text.data());
    std::fflush(stderr);
    return 1;
}

} // namespace lum
