// server/store/sqlite/report_search.h: searching the reports with their readings, and deleting old ones.
#pragma once

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

// The conditions every search has: the caller, whole or its start (a range, which a (caller, received)
// index answers), and the time received. Their SQL uses the parameters ?1 to ?4.
class CallerAndTime {
public:
    CallerAndTime(const std::string& caller, bool prefix, std::optional<Clock::time_point> since,
                  std::optional<Clock::time_point> until);
    // " AND ..." for each condition asked for, on the columns of `table` ("r." or "").
    std::string sql(std::string_view table) const;
    void bind(sqlite3_stmt* statement) const;

private:
    const std::string& caller_;
    bool prefix_;
    std::optional<std::string> bound_; // the first text after every one that starts with a prefix
    std::optional<Clock::time_point> since_;
    std::optional<Clock::time_point> until_;
};

std::vector<ReportSummary> search_reports(sqlite3* db, const ReportSearch& search);

// Deletes reports received before `before`, a batch per transaction so that uploads waiting for the write
// lock wait for one batch at most; returns how many.
std::size_t delete_reports_before(sqlite3* db, Clock::time_point before);

} // namespace lumresults::sqlite
