// runtime/text/text_float.cpp: reading a decimal number, such as a measured rate, into a float.
#include "runtime/text/text.h"

#include "runtime/text/text_ascii.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <system_error>

namespace lum {

namespace {

// An exponent beyond this is out of range for any double whatever the digits before it, so reading
// stops growing there instead of overflowing.
constexpr std::int64_t EXPONENT_CAP = 1'000'000;

// The decimal number at the start of a text, as digits[.digits][(e|E)[sign]digits], without its sign.
struct DecimalPrefix {
    std::size_t end = 0;                    // one past its last byte; equal to its start when there is none
    std::optional<std::int64_t> lead_place; // power of ten of its first non-zero digit, exponent applied
};

std::optional<float> special_value(std::string_view text) {
    if (ascii::equal_ignoring_case(text, "+Infinity")) {
        return std::numeric_limits<float>::infinity();
    }
    if (ascii::equal_ignoring_case(text, "-Infinity")) {
        return -std::numeric_limits<float>::infinity();
    }
    if (ascii::equal_ignoring_case(text, "NaN")) {
        // The quiet NaN with the sign bit set, the one the x87 and SSE units produce for invalid results.
        return std::bit_cast<float>(std::uint32_t{0xFFC0'0000u});
    }
    return std::nullopt;
}

// The white space of the C locale, which the C library's text-to-double conversion skips.
std::size_t skip_space(std::string_view text, std::size_t at) {
    constexpr std::string_view space = " \t\n\v\f\r";
    while (at < text.size() && space.find(text[at]) != std::string_view::npos) {
        ++at;
    }
    return at;
}

std::size_t skip_digits(std::string_view text, std::size_t at) {
    while (at < text.size() && ascii::is_digit(text[at])) {
        ++at;
    }
    return at;
}

// The value of an exponent at `end`, moving `end` past it; an "e" without digits is no exponent and gives 0.
std::int64_t read_exponent(std::string_view text, std::size_t& end) {
    std::size_t at = end;
    if (at >= text.size() || (text[at] != 'e' && text[at] != 'E')) {
        return 0;
    }
    ++at;
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        ++at;
    }
    const std::size_t digits_end = skip_digits(text, at);
    if (digits_end == at) {
        return 0;
    }
    std::int64_t exponent = 0;
    for (; at < digits_end && exponent < EXPONENT_CAP; ++at) {
        exponent = exponent * 10 + (text[at] - '0');
    }
    end = digits_end;
    return negative ? -exponent : exponent;
}

DecimalPrefix scan_decimal(std::string_view text, std::size_t begin) {
    const std::size_t integer_end = skip_digits(text, begin);
    std::size_t fraction_begin = integer_end;
    std::size_t fraction_end = integer_end;
    if (integer_end < text.size() && text[integer_end] == '.') {
        fraction_begin = integer_end + 1;
        fraction_end = skip_digits(text, fraction_begin);
    }
    if (integer_end == begin && fraction_end == fraction_begin) {
        return DecimalPrefix{begin, std::nullopt};
    }
    DecimalPrefix number{fraction_end, std::nullopt};
    const std::int64_t exponent = read_exponent(text, number.end);
    // Digits that are all zeros make zero whatever the exponent, so such a number has no leading place.
    const std::size_t lead = text.substr(0, fraction_end).find_first_of("123456789", begin);
    if (lead != std::string_view::npos) {
        number.lead_place = exponent + (lead < integer_end ? static_cast<std::int64_t>(integer_end - lead) - 1
                                                           : -static_cast<std::int64_t>(lead - integer_end));
    }
    return number;
}

// std::from_chars reads "." as the decimal point whatever the locale, so no locale has to be switched
// for it; a switch would be process-wide and would also change how the C library prints numbers.
double decimal_to_double(std::string_view digits, const DecimalPrefix& number) {
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // The value is left untouched then; the place of the leading digit tells overflow from underflow.
        const bool too_large = number.lead_place.value_or(0) >= 0;
        return too_large ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return result.ec == std::errc() ? value : 0.0;
}

// A double beyond the float range converts with undefined behaviour in C++; this gives what the FPU
// gives: the largest float up to half a float step above it, infinity from there on.
float narrow_to_float(double value) {
    constexpr double max_float = std::numeric_limits<float>::max();
    constexpr double infinity_threshold = 0x1.ffffffp127;
    if (std::isnan(value) || std::fabs(value) <= max_float) {
        return static_cast<float>(value);
    }
    const float magnitude = std::fabs(value) >= infinity_threshold ? std::numeric_limits<float>::infinity()
                                                                   : std::numeric_limits<float>::max();
    return value < 0.0 ? -magnitude : magnitude;
}

} // namespace

float parse_float(std::string_view text) {
    if (const std::optional<float> special = special_value(text)) {
        return *special;
    }
    std::size_t begin = skip_space(text, 0);
    const bool negative = begin < text.size() && text[begin] == '-';
    if (begin < text.size() && (text[begin] == '-' || text[begin] == '+')) {
        ++begin;
    }
    const DecimalPrefix number = scan_decimal(text, begin);
    if (number.end == begin) {
        return 0.0f;
    }
    const double magnitude = decimal_to_double(text.substr(begin, number.end - begin), number);
    return narrow_to_float(negative ? -magnitude : magnitude);
}

} // namespace lum
