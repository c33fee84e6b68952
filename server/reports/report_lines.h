// server/reports/report_lines.h: a report's bytes cut into lines, as the program's own readers cut them.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace lum::reports {

struct ReportLine {
    std::string_view text; // without its line end
    std::size_t begin = 0; // offset of its first byte
    std::size_t end = 0;   // offset just past its line end
};

// Lines end at CR LF, LF or a lone CR; a last line without an end counts too, an empty tail does not.
std::vector<ReportLine> split_report_lines(std::string_view bytes);

} // namespace lum::reports
