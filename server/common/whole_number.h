// server/common/whole_number.h: a command line's or configuration file's whole numbers, all digits or nothing.
#pragma once

#include <charconv>
#include <optional>
#include <string_view>

namespace lumresults {

// `text` as a number of at least `least`; nothing for anything else (signs, spaces, too large, too small).
template <typename Number> std::optional<Number> whole_number(std::string_view text, Number least) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < least) return std::nullopt;
    return value;
}

} // namespace lumresults
