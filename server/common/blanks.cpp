// server/common/blanks.cpp: trimming the blanks around a header value or a piece of one.
#include "server/common/blanks.h"

namespace lumresults {

std::string_view trim_blanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(BLANKS);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(BLANKS) - first + 1);
}

} // namespace lumresults
