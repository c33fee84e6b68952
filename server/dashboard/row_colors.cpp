// server/dashboard/row_colors.cpp: COLORREF to CSS.
#include "server/dashboard/row_colors.h"

#include <array>
#include <cstdio>

#include "rules/row_verdicts.h"

namespace lumresults::dashboard {
namespace {

std::string rgb_hex(std::int32_t colorref) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", static_cast<unsigned>(colorref & 0xFF),
                  static_cast<unsigned>((colorref >> 8) & 0xFF), static_cast<unsigned>((colorref >> 16) & 0xFF));
    return text;
}

} // namespace

std::string color_class(std::int32_t colorref) { return "rgb-" + rgb_hex(colorref); }

std::string row_color_rules() {
    std::string rules;
    for (const std::int32_t colorref : {lum::COLOR_PASSED, lum::COLOR_FAILED, lum::COLOR_SKIPPED})
        rules += "." + color_class(colorref) + " { color: #" + rgb_hex(colorref) + " }\n";
    return rules;
}

} // namespace lumresults::dashboard
