// server/common/blanks.h: the blanks (space and tab) trimmed from around a header value, its pieces and form fields.
#pragma once

#include <string_view>

namespace lumresults {

// Only these two, the white space HTTP allows around a header value: a CR, LF or any other byte is kept,
// so that whatever reads the value next still sees it.
inline constexpr std::string_view BLANKS = " \t";

// `text` without the blanks at either end; empty when it holds nothing else.
std::string_view trim_blanks(std::string_view text);

} // namespace lumresults
