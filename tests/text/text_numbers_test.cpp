// tests/text/text_numbers_test.cpp: numbers read from and written to text, and rounding.
#include "runtime/text/text.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace lum {
namespace {

using Int64Limits = std::numeric_limits<std::int64_t>;
using FloatLimits = std::numeric_limits<float>;

TEST(ParseInteger, ReadsBasesSignsAndWrapsModulo2To64) {
    struct Case {
        std::string_view text;
        std::int64_t value;
    };
    constexpr Case cases[] = {
        {" 42ms", 42},
        {" \t7x", 7},
        {"\n5", 0},
        {"12.9", 12},
        {"-$ff", -255},
        {"$FF", 255},
        {"+$10", 16},
        {"%101", 5},
        {"%11", 3},
        {"%2", 0},
        {"$g", 0},
        {"$-1", 0},
        {"-0", 0},
        {"- 5", 0},
        {"0x10", 0},
        {"", 0},
        {"9223372036854775808", Int64Limits::min()},
        {"-9223372036854775808", Int64Limits::min()},
        {"18446744073709551616", 0},
        {"18446744073709551617", 1},
        {"$FFFFFFFFFFFFFFFF", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse_integer(c.text), c.value) << c.text;
    }
}

TEST(ParseFloat, ReadsTheLeadingDecimalNumber) {
    struct Case {
        std::string text;
        float value;
    };
    const Case cases[] = {
        {"12.34 Mbps", 12.34f},
        {"  -7.5e2x", -750.0f},
        {"\n\t+.5", 0.5f},
        {"5.", 5.0f},
        {"2E3", 2000.0f},
        {"1.5e-1", 0.15f},
        {"1e", 1.0f},
        {"1e+", 1.0f},
        {".", 0.0f},
        {"-", 0.0f},
        {"", 0.0f},
        {"Mbps", 0.0f},
        {"0x1p3", 0.0f},
        {"inf", 0.0f},
        {" nan", 0.0f},
        {"Infinity", 0.0f},
        {"3.4028235e38", FloatLimits::max()},
        {"3.5e38", FloatLimits::infinity()},
        {"1e400", FloatLimits::infinity()},
        {"-1e400", -FloatLimits::infinity()},
        {"1e-400", 0.0f},
        {"1e-50", 0.0f},
        {"0e999999999999", 0.0f},
        {"0." + std::string(400, '0') + "1", 0.0f},
        {"1" + std::string(400, '0'), FloatLimits::infinity()},
        {"0." + std::string(400, '0') + "1e420", 1e19f},
        {"0." + std::string(400, '0') + "1e50", 0.0f},
        {"1" + std::string(400, '0') + "e-50", FloatLimits::infinity()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse_float(c.text), c.value) << c.text;
    }
    EXPECT_TRUE(std::signbit(parse_float("-0")));
}

TEST(ParseFloat, MatchesTheSpecialTextsWholeInAnyCase) {
    for (std::string_view text : {"+Infinity", "+INFINITY", "+infinity"}) {
        EXPECT_EQ(parse_float(text), FloatLimits::infinity()) << text;
    }
    EXPECT_EQ(parse_float("-InFiNiTy"), -FloatLimits::infinity());
    for (std::string_view text : {"NaN", "nan", "NAN"}) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(parse_float(text)), 0xFFC0'0000u) << text;
    }
}

TEST(ParseFloat, IgnoresAndKeepsACommaDecimalLocale) {
    const std::string original = std::setlocale(LC_ALL, nullptr);
    const char* comma_locale = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252", "German"}) {
        if (std::setlocale(LC_ALL, name) != nullptr && *std::localeconv()->decimal_point == ',') {
            comma_locale = name;
            break;
        }
    }
    if (comma_locale == nullptr) {
        std::setlocale(LC_ALL, original.c_str());
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    const std::string before = std::setlocale(LC_ALL, nullptr);
    EXPECT_EQ(parse_float("12.34 Mbps"), 12.34f);
    EXPECT_EQ(parse_float("12,34"), 12.0f);
    EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), before);
    std::setlocale(LC_ALL, original.c_str());
}

TEST(FormatNumbers, WriteDecimalAndOtherBases) {
    EXPECT_EQ(format_integer(0), "0");
    EXPECT_EQ(format_integer(-1), "-1");
    EXPECT_EQ(format_integer(-2147483648LL), "-2147483648");
    EXPECT_EQ(format_integer(2147483648LL), "2147483648");
    EXPECT_EQ(format_integer(Int64Limits::max()), "9223372036854775807");
    EXPECT_EQ(format_integer(Int64Limits::min()), "-9223372036854775808");

    constexpr std::uint64_t all_ones = ~std::uint64_t{0};
    for (int code : {1, 11, 24}) {
        EXPECT_EQ(format_unsigned(all_ones, code), "255") << code;
    }
    EXPECT_EQ(format_unsigned(all_ones, 3), "65535");
    EXPECT_EQ(format_unsigned(all_ones, 25), "65535");
    EXPECT_EQ(format_unsigned(all_ones, 13), "18446744073709551615");
    for (int code : {0, 2, 4, -1}) {
        EXPECT_EQ(format_unsigned(all_ones, code), "4294967295") << code;
    }

    EXPECT_EQ(format_digits(255, 16), "ff");
    EXPECT_EQ(format_digits(35, 36), "z");
    EXPECT_EQ(format_digits(0, 10), "0");
    EXPECT_EQ(format_digits(all_ones, 2), std::string(64, '1'));
    EXPECT_EQ(format_digits(5, 1), "");
    EXPECT_EQ(format_digits(5, 37), "");
}

TEST(RoundValue, CeilsRoundsHalvesAwayOrFloors) {
    struct Case {
        float x;
        int mode;
        float result;
    };
    constexpr Case cases[] = {
        {2.5f, 2, 3.0f},        {-2.5f, 2, -3.0f},       {0.5f, 2, 1.0f},  {-0.5f, 2, -1.0f}, {2.4999f, 2, 2.0f},
        {0.49999997f, 2, 0.0f}, {-0.49999997f, 2, 0.0f}, {1.2f, 1, 2.0f},  {-1.2f, 1, -1.0f}, {-1.2f, 0, -2.0f},
        {1.8f, 0, 1.0f},        {-1.2f, 7, -2.0f},       {2.5f, -1, 2.0f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(round_value(c.x, c.mode), c.result) << c.x << " mode " << c.mode;
    }
}

} // namespace
} // namespace lum
