// server/cli/report_listing.cpp: reports listed for the command line, and the day its --since names.
#include "server/cli/report_listing.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace lumresults {

using namespace std::chrono;

std::string utc_text(Clock::time_point time, bool iso) {
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date(day);
    const hh_mm_ss clock(ms - day);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u%c%02d:%02d:%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), iso ? 'T' : ' ',
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    std::string result = text;
    if (iso) {
        std::snprintf(text, sizeof text, ".%03dZ", static_cast<int>(clock.subseconds().count()));
        result += text;
    }
    return result;
}

std::string escaped_for_terminal(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\') {
            text += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7F) {
            text += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            text += hex;
        }
    }
    return text;
}

namespace {

std::string padded(std::string text, std::size_t width, bool right) {
    if (text.size() >= width) return text;
    return right ? std::string(width - text.size(), ' ') + text : text + std::string(width - text.size(), ' ');
}

std::string as_lines(const std::vector<ReportInfo>& reports) {
    std::size_t id_width = 0, caller_width = 0, size_width = 0;
    for (const ReportInfo& report : reports) {
        id_width = std::max(id_width, std::to_string(report.id).size());
        caller_width = std::max(caller_width, escaped_for_terminal(report.caller).size());
        size_width = std::max(size_width, std::to_string(report.size).size());
    }
    std::string text;
    for (const ReportInfo& report : reports) {
        text += padded(std::to_string(report.id), id_width, true) + "  " + utc_text(report.received, false) + "  " +
                padded(escaped_for_terminal(report.caller), caller_width, false) + "  " +
                padded(std::to_string(report.size), size_width, true) + "  " + escaped_for_terminal(report.sha256) +
                "  " + escaped_for_terminal(report.file_name) + "\n";
    }
    return text;
}

std::string as_json(const std::vector<ReportInfo>& reports) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const ReportInfo& report : reports) {
        list.push_back({{"id", report.id},
                        {"caller", report.caller},
                        {"received", utc_text(report.received, true)},
                        {"file_name", report.file_name},
                        {"content_type", report.content_type},
                        {"size", report.size},
                        {"sha256", report.sha256}});
    }
    return list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::optional<unsigned> digits(std::string_view text) {
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

} // namespace

std::string format_report_list(const std::vector<ReportInfo>& reports, bool json) {
    return json ? as_json(reports) : as_lines(reports);
}

std::optional<Clock::time_point> parse_day(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto y = digits(text.substr(0, 4)), m = digits(text.substr(5, 2)), d = digits(text.substr(8, 2));
    if (!y || !m || !d) return std::nullopt;
    const year_month_day date{year(static_cast<int>(*y)), month(*m), day(*d)};
    if (!date.ok()) return std::nullopt;
    // Only days the clock can hold (its nanoseconds span about 1678 to 2262).
    const sys_days midnight(date);
    if (midnight < ceil<days>(Clock::time_point::min()) || midnight > floor<days>(Clock::time_point::max()))
        return std::nullopt;
    return Clock::time_point(midnight);
}

} // namespace lumresults
