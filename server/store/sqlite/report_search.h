// server/store/sqlite/report_search.h: searching the reports with their readings, and deleting old ones.
#pragma once

#include "server/store/caller_and_time.h"
#include "server/store/sqlite/sqlite_handles.h"
#include "server/store/store.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumresults::sqlite {

// The columns every listing of reports selects, in the order info_at() reads them.
inline constexpr const char* REPORT_INFO_COLUMNS =
    "SELECT id, caller, received_ms, file_name, content_type, size, sha256 FROM reports";

ReportInfo info_at(sqlite3_stmt* row);

// Binds a search's caller and time conditions to the parameters ?1 to ?4 its SQL names.
void bind(sqlite3_stmt* statement, const CallerAndTime& caller_and_time);

std::vector<ReportSummary> search_reports(sqlite3* db, const ReportSearch& search);

// Deletes reports received before `before`, a batch per transaction so that uploads waiting for the write
// lock wait for one batch at most; returns how many.
std::size_t delete_reports_before(sqlite3* db, Clock::time_point before);

} // namespace lumresults::sqlite
