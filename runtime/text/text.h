// runtime/text/text.h: the text and number operations that the program's scans and reports are built on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lum {

// Texts are 8-bit bytes in the system's ANSI code page, taken as they are; an empty view also stands
// for a null text. Positions count from 1. Comparisons are exact and case-sensitive unless stated.

// Field `index` (from 1) of `text` cut at every `separator`; "" for index < 1 or past the last field.
// A one-byte or empty separator is matched byte by byte (empty matches only the end of the text);
// a longer one is matched whole, and matches never overlap.
std::string split_field(std::string_view text, std::int32_t index, std::string_view separator);

// 1-based position of the first `pattern` at or after `start` (below 1 counts as 1), or 0.
std::int32_t find_substring(std::string_view text, std::string_view pattern, std::int32_t start = 1);

// At most `length` bytes from position `start` (start <= 1 means from the first byte).
std::string substring(std::string_view text, std::int32_t start, std::int32_t length);

// The number of bytes in `text`.
std::int32_t text_length(std::string_view text);

// `text` without occurrences of `pattern` from `start` on. Mode bit 0: ASCII letters match regardless of
// case. Count -1 removes all, n >= 1 the first n, any other count only the first one. Matches never overlap
// ("aaa" without "aa" is "a"); a start past the end of the text gives the text unchanged.
std::string remove_substring(std::string_view text, std::string_view pattern, int mode = 0, std::int32_t start = 1,
                             std::int32_t count = -1);

// True when both texts have the same bytes (case-sensitive).
bool text_equal(std::string_view a, std::string_view b);

// Leading spaces and tabs, an optional sign, "$" for hexadecimal or "%" for binary, then digits up to the
// first byte that is not one; wraps modulo 2^64. Text without digits gives 0.
std::int64_t parse_integer(std::string_view text);

// A decimal number with "." as the decimal point whatever the locale, read as a double and rounded to
// single precision; "+Infinity", "-Infinity" and "NaN" (any case) are the special values; no number gives 0.
float parse_float(std::string_view text);

// Decimal digits with "-" before a negative value; no "+", padding or grouping.
std::string format_integer(std::int64_t value);

// The low 8 bits (width codes 1, 11, 24), 16 bits (3, 25), all 64 bits (13) or 32 bits (any other code)
// of `value` as an unsigned decimal number.
std::string format_unsigned(std::uint64_t value, int width_code);

// Mode 1: ceiling; mode 2: nearest with halves away from zero; any other mode: floor.
float round_value(float x, int mode);

// Digits of `value` in `base` 2 to 36 with lower-case letters; "" for any other base.
std::string format_digits(std::uint64_t value, int base);

} // namespace lum
