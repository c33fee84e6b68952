// server/dashboard/report_export.h: found reports as CSV (for spreadsheets) and JSON (for the operator's programs).
#pragma once

#include <string>
#include <string_view>

#include "server/dashboard/search_results.h"

namespace lumresults::dashboard {

// One CSV field: quoted as RFC 4180 asks when it holds a comma, quote or line end; a field that a
// spreadsheet would take for a formula (starting with = + - @, tab or CR) gets a leading '.
std::string csv_field(std::string_view text);

// Header row "id,received,caller,release,finished,test1,...,test7,size,sha256", then one row per report;
// CR LF line ends. Texts are UTF-8 (bytes that are not become U+FFFD).
std::string reports_csv(const FoundPage& page);

// {"reports":[...],"next":"MS-ID" or null}
std::string reports_json(const FoundPage& page);

// One report's description and its reading (the reading's own JSON, or null before it is read).
std::string report_json(const ReportInfo& info, std::string_view reading_json);

} // namespace lumresults::dashboard
