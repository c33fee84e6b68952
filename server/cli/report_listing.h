// server/cli/report_listing.h: the command line's list of reports, as lines for people or JSON for programs.
#pragma once

#include "server/store/store.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumresults {

// Text: one line per report, in columns: id, time received (UTC, "YYYY-MM-DD HH:MM:SS"), caller, size,
// SHA-256 and file name, with every byte outside printable ASCII (and the backslash) written as \xHH
// (\\), so that a name in any code page neither garbles the terminal nor loses a byte.
// JSON: an array of objects {id, caller, received ("YYYY-MM-DDTHH:MM:SS.mmmZ"), file_name,
// content_type, size, sha256}. JSON strings hold text, not bytes: a byte that is not part of valid
// UTF-8 becomes U+FFFD there.
std::string format_report_list(const std::vector<ReportInfo>& reports, bool json);

// The time in UTC: "YYYY-MM-DD HH:MM:SS" for people, ISO 8601 with milliseconds and "Z" for programs.
std::string utc_text(Clock::time_point time, bool iso);

// Bytes for a terminal: every byte outside printable ASCII as \xHH and the backslash as \\, so that
// text in any code page neither garbles the terminal nor loses a byte.
std::string escaped_for_terminal(std::string_view bytes);

// "YYYY-MM-DD" exactly, a day that exists, as that day's midnight UTC; nothing otherwise.
std::optional<Clock::time_point> parse_day(std::string_view text);

} // namespace lumresults
