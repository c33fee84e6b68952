// tests/text/text_fields_test.cpp: cutting, searching, removing and comparing texts.
#include "runtime/text/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace lum {
namespace {

constexpr std::int32_t INT32_TOP = std::numeric_limits<std::int32_t>::max();

TEST(SplitField, CutsAtEveryOneByteAndLongerSeparator) {
    struct Case {
        std::string_view text;
        std::int32_t index;
        std::string_view separator;
        std::string_view field;
    };
    constexpr Case cases[] = {
        {"a,b,,c", 3, ",", ""},  {"a,b,,c", 4, ",", "c"}, {"a,b,,c", 5, ",", ""},
        {"a,b,,c", 0, ",", ""},  {"a,b,,c", -1, ",", ""}, {"a,b,,c", INT32_TOP, ",", ""},
        {"k=v", 2, "=", "v"},    {"x::y", 2, "::", "y"},  {"x:::y", 2, "::", ":y"},
        {"a<>b<>", 3, "<>", ""}, {"abc", 1, "", "abc"},   {"abc", 2, "", ""},
        {"", 1, ",", ""},        {"", 2, ",", ""},        {"a,", 2, ",", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(split_field(c.text, c.index, c.separator), c.field)
            << c.text << " #" << c.index << " at " << c.separator;
    }
}

TEST(SplitField, FieldsAfterACarriageReturnStartWithTheLineFeed) {
    constexpr std::string_view lines = "one\r\ntwo\r\nthree";
    EXPECT_EQ(split_field(lines, 1, "\r"), "one");
    EXPECT_EQ(split_field(lines, 2, "\r"), "\ntwo");
    EXPECT_EQ(split_field(lines, 3, "\r"), "\nthree");
    EXPECT_EQ(split_field(lines, 4, "\r"), "");
}

TEST(FindSubstring, ClampsTheStartAndNeedsAPattern) {
    struct Case {
        std::string_view text;
        std::string_view pattern;
        std::int32_t start;
        std::int32_t position;
    };
    constexpr Case cases[] = {
        {"abcabc", "bc", 3, 5}, {"abc", "a", 0, 1}, {"abc", "a", -5, 1}, {"abc", "c", 30, 0}, {"abc", "c", 3, 3},
        {"abc", "c", 4, 0},     {"abc", "", 1, 0},  {"", "a", 1, 0},     {"ab", "abc", 1, 0}, {"aBc", "b", 1, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(find_substring(c.text, c.pattern, c.start), c.position) << c.text << " / " << c.pattern;
    }
    EXPECT_EQ(find_substring("abcabc", "bc"), 2);
}

TEST(Substring, StopsAtTheEdgesOfTheText) {
    struct Case {
        std::string_view text;
        std::int32_t start;
        std::int32_t length;
        std::string_view part;
    };
    constexpr Case cases[] = {
        {"abcdef", 2, 3, "bcd"}, {"abc", 0, 1, "a"},         {"abc", -3, 2, "ab"},
        {"abc", 2, 99, "bc"},    {"abc", 3, INT32_TOP, "c"}, {"abc", 4, 1, ""},
        {"abc", 1, 0, ""},       {"abc", 1, -1, ""},         {"", 1, 5, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(substring(c.text, c.start, c.length), c.part) << c.text << " from " << c.start;
    }
}

TEST(TextLengthAndEqual, CountBytesAndCompareExactly) {
    EXPECT_EQ(text_length(""), 0);
    EXPECT_EQ(text_length("a\xE4z"), 3);
    EXPECT_TRUE(text_equal("", ""));
    EXPECT_TRUE(text_equal("abc", "abc"));
    EXPECT_FALSE(text_equal("abc", "ABC"));
    EXPECT_FALSE(text_equal("ab", "abc"));
}

TEST(RemoveSubstring, HonoursCountModeAndStart) {
    struct Case {
        std::string_view text;
        std::string_view pattern;
        int mode;
        std::int32_t start;
        std::int32_t count;
        std::string_view result;
    };
    constexpr Case cases[] = {
        {"a-b--c", "-", 0, 1, -1, "abc"},       {"a-b--c", "-", 0, 1, 1, "ab--c"},
        {"a-b--c", "-", 0, 1, 2, "ab-c"},       {"a-b--c", "-", 0, 1, 0, "ab--c"},
        {"a-b--c", "-", 0, 1, -2, "ab--c"},     {"aaa", "aa", 0, 1, -1, "a"},
        {"xAbyaBz", "ab", 1, 1, -1, "xyz"},     {"xAbyaBz", "ab", 3, 1, -1, "xyz"},
        {"xAbyaBz", "ab", 0, 1, -1, "xAbyaBz"}, {"\xC4x", "\xE4x", 1, 1, -1, "\xC4x"},
        {"a-b-c", "-", 0, 3, -1, "a-bc"},       {"a-b", "-", 0, 4, -1, "a-b"},
        {"a-b", "-", 0, 99, -1, "a-b"},         {"", "-", 0, 1, -1, ""},
        {"a-b", "", 0, 1, -1, "a-b"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(remove_substring(c.text, c.pattern, c.mode, c.start, c.count), c.result)
            << c.text << " - " << c.pattern << " mode " << c.mode << " start " << c.start << " count " << c.count;
    }
    EXPECT_EQ(remove_substring("a-b--c", "-"), "abc");
}

} // namespace
} // namespace lum
