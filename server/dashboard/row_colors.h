// server/dashboard/row_colors.h: the window's row colours as CSS classes, from the program's own constants, so
// that a page can never show a row in a colour the subscriber's window did not.
#pragma once

#include <cstdint>
#include <string>

namespace lumresults::dashboard {

// "rgb-RRGGBB" for a COLORREF (0x00BBGGRR).
std::string color_class(std::int32_t colorref);

// ".rgb-RRGGBB { color: #RRGGBB }", one line for each colour the window gives a row.
std::string row_color_rules();

} // namespace lumresults::dashboard
