// tests/fuzz/naive_reference.cpp: the fuzz targets' reference rules, written for clarity with no regard for speed.
#include "tests/fuzz/naive_reference.h"

#include <cctype>
#include <cstdlib>
#include <limits>

namespace lum::fuzz {

std::vector<std::string> naive_lines(std::string_view text, LineRules rules) {
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i; // CR LF: one line end
        if (c == '\r' || c == '\n' || (c == '\0' && rules.zero_ends_line)) {
            lines.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    const bool ended_by_cr = !text.empty() && text.back() == '\r';
    const bool empty_last_counts = rules.keep_empty_last && !(rules.final_cr_ends_last && ended_by_cr);
    if (!current.empty() || empty_last_counts) lines.push_back(current);
    return lines;
}

bool contains(std::string_view text, std::string_view pattern) { return text.find(pattern) != std::string_view::npos; }

std::vector<std::string> naive_fields(std::string_view text, std::string_view separator) {
    std::vector<std::string> fields;
    std::size_t begin = 0;
    std::size_t i = 0;
    while (i + separator.size() <= text.size()) {
        if (text.substr(i, separator.size()) == separator) {
            fields.emplace_back(text.substr(begin, i - begin));
            i += separator.size();
            begin = i;
        } else {
            ++i;
        }
    }
    fields.emplace_back(text.substr(begin));
    return fields;
}

std::int64_t naive_parse_integer(std::string_view text) {
    std::size_t i = text.find_first_not_of(" \t");
    if (i == std::string_view::npos) return 0;
    const bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+') ++i;
    std::uint64_t base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == '%')) base = text[i++] == '$' ? 16 : 2;
    const std::string alphabet = std::string("0123456789abcdefghijklmnopqrstuvwxyz").substr(0, base);
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const std::size_t digit = alphabet.find(ascii_lower(text.substr(i, 1))[0]);
        if (digit == std::string::npos) break;
        value = value * base + digit;
    }
    return static_cast<std::int64_t>(negative ? ~value + 1 : value);
}

// Where the number starts once the C locale's white space and one sign are passed.
static std::size_t number_start(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    return i;
}

// A digit, or a point with a digit after it, where the number starts: words such as "inf" are not numbers.
static bool starts_decimal(std::string_view text) {
    const std::size_t i = number_start(text);
    const auto digit_at = [&](std::size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
    return digit_at(i) || (i < text.size() && text[i] == '.' && digit_at(i + 1));
}

float naive_parse_float(std::string_view text) {
    std::string copy(text.substr(0, text.find('\0')));
    // The C library would read "0x..." as hexadecimal; as a decimal number only its "0" counts.
    const std::size_t start = number_start(copy);
    if (copy.compare(start, 2, "0x") == 0 || copy.compare(start, 2, "0X") == 0) copy.resize(start + 1);
    if (!starts_decimal(copy)) return 0.0f;
    const double value = std::strtod(copy.c_str(), nullptr);
    return static_cast<float>(value); // IEEE rounding: beyond the float range this gives the largest float or infinity
}

std::string naive_remove(std::string_view text, std::string_view pattern, bool ignore_case, std::int32_t start,
                         std::int32_t count) {
    if (pattern.empty() || start > static_cast<std::int64_t>(text.size())) return std::string(text);
    const std::string haystack = ignore_case ? ascii_lower(text) : std::string(text);
    const std::string needle = ignore_case ? ascii_lower(pattern) : std::string(pattern);
    std::int64_t wanted = count == -1 ? std::numeric_limits<std::int64_t>::max() : (count >= 1 ? count : 1);
    std::string result;
    std::size_t copied = 0;
    std::size_t found = haystack.find(needle, start <= 1 ? 0 : static_cast<std::size_t>(start) - 1);
    for (; found != std::string::npos && wanted > 0; --wanted) {
        result.append(text.substr(copied, found - copied));
        copied = found + needle.size();
        found = haystack.find(needle, copied);
    }
    result.append(text.substr(copied));
    return result;
}

std::string ascii_lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    }
    return lower;
}

bool naive_valid_utf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80         ? 1
                                   : lead >> 5 == 0x6  ? 2
                                   : lead >> 4 == 0xE  ? 3
                                   : lead >> 3 == 0x1E ? 4
                                                       : 0;
        if (length == 0 || at + length > text.size()) return false;
        std::uint32_t point = length == 1 ? lead : lead & (0x7Fu >> length);
        for (std::size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            if (next >> 6 != 0x2) return false;
            point = point << 6 | (next & 0x3Fu);
        }
        const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < least[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return false;
        at += length;
    }
    return true;
}

} // namespace lum::fuzz
