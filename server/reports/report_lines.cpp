// server/reports/report_lines.cpp: a report's bytes walked line by line, as the program's own readers cut them.
#include "server/reports/report_lines.h"

namespace lum::reports {

LineCursor::LineCursor(std::string_view bytes, std::size_t at, std::size_t number) : bytes_(bytes), number_(number) {
    line_.begin = at < bytes_.size() ? at : bytes_.size();
    find_line_end();
}

void LineCursor::next() {
    if (at_end()) return;
    line_.begin = line_.end;
    ++number_;
    find_line_end();
}

LineCursor LineCursor::following() const {
    LineCursor next_line = *this;
    next_line.next();
    return next_line;
}

// Found when the cursor reaches the line, so that reading the line again costs nothing.
void LineCursor::find_line_end() {
    std::size_t at = line_.begin;
    while (at < bytes_.size() && bytes_[at] != '\r' && bytes_[at] != '\n')
        ++at;
    line_.text = bytes_.substr(line_.begin, at - line_.begin);
    if (at < bytes_.size()) at += (bytes_[at] == '\r' && at + 1 < bytes_.size() && bytes_[at + 1] == '\n') ? 2 : 1;
    line_.end = at;
}

} // namespace lum::reports
