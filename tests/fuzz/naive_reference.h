// tests/fuzz/naive_reference.h: slow, obvious versions of the program's text rules that the fuzz targets compare with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lum::fuzz {

// How a line reader treats the bytes around its line ends.
struct LineRules {
    bool zero_ends_line = false;     // a zero byte ends a line, like LF, and is dropped
    bool keep_empty_last = false;    // an empty piece after the last line end is still a line
    bool final_cr_ends_last = false; // ... except when the text ends with CR: that CR ended the last line
};

// The lines of `text`: LF, CR LF and a lone CR each end one line.
std::vector<std::string> naive_lines(std::string_view text, LineRules rules);

bool contains(std::string_view text, std::string_view pattern);

// The fields of `text` between non-overlapping `separator`s found left to right (separator not empty).
std::vector<std::string> naive_fields(std::string_view text, std::string_view separator);

// Blanks, sign, "$" or "%" base prefix and digits, wrapping modulo 2^64.
std::int64_t naive_parse_integer(std::string_view text);

// The C library's strtod (in the "C" locale) on the decimal number that starts the text, rounded to
// float; 0 when the text starts with none (strtod's words and hexadecimal numbers are not decimal).
float naive_parse_float(std::string_view text);

// `text` without the first `count` (all for -1, one for 0 and below) matches of `pattern` from `start` on.
std::string naive_remove(std::string_view text, std::string_view pattern, bool ignore_case, std::int32_t start,
                         std::int32_t count);

// Lower-case ASCII letters; other bytes unchanged.
std::string ascii_lower(std::string_view text);

// Whether `text` is UTF-8 as RFC 3629 has it: shortest forms only, no surrogates, nothing above U+10FFFF.
bool naive_valid_utf8(std::string_view text);

} // namespace lum::fuzz
