// runtime/text/text_ascii.h: byte classification shared by the text operations, fixed to ASCII.
#pragma once

#include <string_view>

// The C library's character classes follow the process locale, and in some code pages they would
// treat bytes above 0x7F as letters or digits; the scans of tool output must not change with that.
namespace lum::ascii {

constexpr char to_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Value of `c` as a digit of a base up to 36 (either case for letters), or 36 when it is no digit.
constexpr int digit_value(char c) {
    if (is_digit(c)) {
        return c - '0';
    }
    const char lower = to_lower(c);
    return (lower >= 'a' && lower <= 'z') ? lower - 'a' + 10 : 36;
}

constexpr bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (to_lower(a[i]) != to_lower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace lum::ascii
