// tests/fuzz/fuzz_text_numbers.cpp: integer and float reading against the naive parser and the C library.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/text/text.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/naive_reference.h"

namespace lum::fuzz {
namespace {

// Bit for bit, so that -0 and +0 differ and a NaN equals itself.
bool same_float(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

void check_float(const std::string& text) {
    const float value = parse_float(text);
    const std::string lower = ascii_lower(text);
    if (lower == "+infinity" || lower == "-infinity") {
        require(std::isinf(value) && std::signbit(value) == (text[0] == '-'), "the infinities are read");
    } else if (lower == "nan") {
        require(std::isnan(value), "NaN is read");
    } else {
        require(same_float(value, naive_parse_float(text)), "a decimal text reads as strtod rounded to float");
    }
}

// A valid number's text is read back whole, with any prefix of blanks and the rest of the line after it.
void check_round_trip(std::int64_t value, const std::string& padding, const std::string& tail) {
    const std::string text = padding + format_integer(value) + tail;
    if (tail.empty() || !(tail[0] >= '0' && tail[0] <= '9'))
        require(parse_integer(text) == value, "a formatted integer reads back");
}

} // namespace
} // namespace lum::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace lum::fuzz;
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    require(lum::parse_integer(text) == naive_parse_integer(text), "parse_integer equals the naive parser");
    check_float(text);
    if (size >= 8) {
        std::int64_t value = 0;
        std::memcpy(&value, bytes, sizeof value);
        const std::string rest = text.substr(8);
        const std::size_t blanks = rest.find_first_not_of(" \t");
        const std::string padding = rest.substr(0, blanks);
        check_round_trip(value, padding, rest.substr(padding.size()));
    }
    return 0;
}
