// server/reports/report_lines.cpp: a report's bytes cut into lines, as the program's own readers cut them.
#include "server/reports/report_lines.h"

namespace lum::reports {

std::vector<ReportLine> split_report_lines(std::string_view bytes) {
    std::vector<ReportLine> lines;
    std::size_t start = 0;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const char c = bytes[at];
        if (c != '\r' && c != '\n') {
            ++at;
            continue;
        }
        const std::size_t text_end = at;
        at += (c == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n') ? 2 : 1;
        lines.push_back({bytes.substr(start, text_end - start), start, at});
        start = at;
    }
    if (start < bytes.size()) lines.push_back({bytes.substr(start), start, bytes.size()});
    return lines;
}

} // namespace lum::reports
