// server/reports/kept_text.h: the part of a report's text that a reading keeps, so that what a reading holds
// is bounded field by field whatever the report holds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lum::reports {

// Ends a text (or stands last in a list) that was cut: "…", as the listings mark a cut release line.
inline constexpr std::string_view CUT_MARK = "\xE2\x80\xA6";

// The text itself when it has at most `most` bytes; else its first `most` bytes and CUT_MARK.
inline std::string kept_text(std::string_view text, std::size_t most) {
    if (text.size() <= most) return std::string(text);
    return std::string(text.substr(0, most)).append(CUT_MARK);
}

// The same for UTF-8 text (a section decoded): cut before a character rather than inside one.
inline std::string kept_utf8(std::string_view text, std::size_t most) {
    if (text.size() <= most) return std::string(text);
    std::size_t end = most;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string(text.substr(0, end)).append(CUT_MARK);
}

} // namespace lum::reports
