// tests/lab/stand_in/flood_lines.h: the lines a flooding stand-in writes, shared with the tests that check every byte
// of them.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace lum::lab {

// The letter at `column` (from 0) of a padded line: fixed by the column, so that a reader can check
// every byte.
inline char letter_at(std::size_t column) { return static_cast<char>('a' + column % 26); }

inline void pad_with_letters(std::string& line, std::size_t width) {
    while (line.size() < width)
        line += letter_at(line.size());
}

// Flood line `number` (from 1), without its line end: "flood 0000000001 " padded to `width`.
inline std::string flood_line(unsigned long number, std::size_t width) {
    char head[32];
    std::snprintf(head, sizeof(head), "flood %010lu ", number);
    std::string line = head;
    pad_with_letters(line, width);
    return line;
}

// True when `line` is letters only, each the one its column has in a padded line.
inline bool is_letter_run(std::string_view line) {
    for (std::size_t at = 0; at < line.size(); ++at) {
        if (line[at] != letter_at(at)) return false;
    }
    return true;
}

} // namespace lum::lab
