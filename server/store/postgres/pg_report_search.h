// server/store/postgres/pg_report_search.h: searching the reports with their readings, and deleting old ones.
#pragma once

#include "server/store/caller_and_time.h"
#include "server/store/postgres/pg_session.h"
#include "server/store/store.h"

#include <vector>

namespace lumresults::postgres {

// The columns every listing of reports selects, in the order info_at() reads them.
inline constexpr const char* REPORT_INFO_COLUMNS =
    "SELECT id, caller, received_ms, file_name, content_type, size, sha256 FROM reports";

ReportInfo info_at(const PGresult* result, int row);

// The parameters 1 to 4 that a search's caller and time conditions name; those left out typed but NULL.
Params caller_and_time_params(const CallerAndTime& caller_and_time);

// A row limit as PostgreSQL's LIMIT takes it.
std::int64_t limit_of(std::size_t limit);

std::vector<ReportSummary> search_reports(Session& session, const ReportSearch& search);

// Deletes reports received before `before` with their bytes and readings, a batch per transaction, so
// that no transaction holds a year of reports; returns how many.
std::size_t delete_reports_before(Session& session, Clock::time_point before);

} // namespace lumresults::postgres
