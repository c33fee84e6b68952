// runtime/text/text_numbers.cpp: integers to and from text, and rounding.
#include "runtime/text/text.h"

#include "runtime/text/text_ascii.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace lum {

namespace {

// Spaces and tabs only: the tools pad their columns with them, and a line end must stop the number.
std::size_t skip_blanks(std::string_view text, std::size_t at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) {
        ++at;
    }
    return at;
}

// The base that a "$" (hexadecimal) or "%" (binary) prefix selects at `at`, moving past the prefix.
unsigned read_base(std::string_view text, std::size_t& at) {
    if (at < text.size() && text[at] == '$') {
        ++at;
        return 16;
    }
    if (at < text.size() && text[at] == '%') {
        ++at;
        return 2;
    }
    return 10;
}

} // namespace

std::int64_t parse_integer(std::string_view text) {
    std::size_t at = skip_blanks(text, 0);
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    const unsigned base = read_base(text, at);
    // Unsigned arithmetic wraps modulo 2^64 where signed arithmetic would be undefined, so any run of
    // digits has a defined value: the decimal text of 2^63, for one, becomes the most negative value.
    std::uint64_t value = 0;
    for (; at < text.size(); ++at) {
        const unsigned digit = static_cast<unsigned>(ascii::digit_value(text[at]));
        if (digit >= base) {
            break;
        }
        value = value * base + digit;
    }
    return static_cast<std::int64_t>(negative ? 0 - value : value);
}

std::string format_digits(std::uint64_t value, int base) {
    if (base < 2 || base > 36) {
        return {};
    }
    constexpr std::string_view digits = "0123456789abcdefghijklmnopqrstuvwxyz";
    const auto divisor = static_cast<std::uint64_t>(base);
    std::array<char, 64> buffer{};
    std::size_t begin = buffer.size();
    do {
        buffer[--begin] = digits[static_cast<std::size_t>(value % divisor)]; // below 36, whatever size_t is
        value /= divisor;
    } while (value != 0);
    return std::string(buffer.data() + begin, buffer.size() - begin);
}

std::string format_integer(std::int64_t value) {
    // The magnitude is taken in unsigned arithmetic because the most negative value has no positive twin.
    const auto bits = static_cast<std::uint64_t>(value);
    if (value >= 0) {
        return format_digits(bits, 10);
    }
    std::string text(1, '-');
    text += format_digits(0 - bits, 10);
    return text;
}

std::string format_unsigned(std::uint64_t value, int width_code) {
    switch (width_code) {
    case 1:
    case 11:
    case 24: return format_digits(value & 0xFFu, 10);
    case 3:
    case 25: return format_digits(value & 0xFFFFu, 10);
    case 13: return format_digits(value, 10);
    default: return format_digits(value & 0xFFFF'FFFFu, 10);
    }
}

float round_value(float x, int mode) {
    // In double precision x + 0.5 is exact, so a float just below a half cannot be pushed up to it.
    const double value = x;
    double rounded = 0.0;
    if (mode == 1) {
        rounded = std::ceil(value);
    } else if (mode == 2) {
        rounded = value > 0.0 ? std::floor(value + 0.5) : std::ceil(value - 0.5);
    } else {
        rounded = std::floor(value);
    }
    return static_cast<float>(rounded);
}

} // namespace lum
