// server/reports/ping_statistics.cpp: the numbers after "=" in ping's closing lines, in the order Windows prints them.
#include "server/reports/ping_statistics.h"

#include <charconv>
#include <vector>

namespace lum::reports {
namespace {

constexpr std::size_t FIGURES = 6;

// The whole numbers that follow an "=" (blanks between allowed) in one line.
void numbers_after_equals(std::string_view line, std::vector<std::int32_t>& into) {
    for (std::size_t at = line.find('='); at != std::string_view::npos && into.size() < FIGURES;
         at = line.find('=', at + 1)) {
        std::size_t digits = at + 1;
        while (digits < line.size() && line[digits] == ' ')
            ++digits;
        std::int32_t value = 0;
        const auto [end, error] = std::from_chars(line.data() + digits, line.data() + line.size(), value);
        if (error == std::errc()) into.push_back(value);
    }
}

} // namespace

std::optional<PingStatistics> ping_statistics(std::string_view lines) {
    std::vector<std::int32_t> figures;
    for (std::size_t start = 0; start < lines.size() && figures.size() < FIGURES;) {
        std::size_t end = lines.find('\n', start);
        if (end == std::string_view::npos) end = lines.size();
        const std::string_view line = lines.substr(start, end - start);
        if (line.find("TTL=") == std::string_view::npos) numbers_after_equals(line, figures);
        start = end + 1;
    }
    if (figures.size() < 3) return std::nullopt;
    PingStatistics statistics{figures[0], figures[1], figures[2], {}, {}, {}};
    if (figures.size() == FIGURES) {
        statistics.minimum_ms = figures[3];
        statistics.maximum_ms = figures[4];
        statistics.average_ms = figures[5];
    }
    return statistics;
}

} // namespace lum::reports
