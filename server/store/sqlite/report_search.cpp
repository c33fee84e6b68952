// server/store/sqlite/report_search.cpp: the search behind the dashboard and the API, and retention.
#include "server/store/sqlite/report_search.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace lumresults::sqlite {
namespace {

constexpr std::size_t delete_batch = 500;

// The statement's text: only the conditions asked for, each with its own fixed parameter number.
std::string search_sql(const ReportSearch& search, const CallerAndTime& caller_and_time) {
    std::string sql = "SELECT r.id, r.caller, r.received_ms, r.file_name, r.content_type, r.size, r.sha256, "
                      "g.rules_version, g.finished, g.failed_tests, g.release FROM reports r "
                      "LEFT JOIN report_readings g ON g.report_id = r.id WHERE 1";
    sql += caller_and_time.sql("r.", '?');
    if (search.failed_any_of != 0) sql += " AND (g.failed_tests & ?5) <> 0";
    if (search.after) sql += " AND (r.received_ms < ?6 OR (r.received_ms = ?6 AND r.id < ?7))";
    return sql + " ORDER BY r.received_ms DESC, r.id DESC LIMIT ?8";
}

ReportSummary summary_at(sqlite3_stmt* row) {
    ReportSummary summary{info_at(row), std::nullopt};
    if (sqlite3_column_type(row, 7) == SQLITE_NULL) return summary;
    ReportReading reading;
    reading.rules_version = static_cast<std::int32_t>(sqlite3_column_int64(row, 7));
    reading.finished = sqlite3_column_int64(row, 8) != 0;
    reading.failed_tests = static_cast<std::uint32_t>(sqlite3_column_int64(row, 9));
    reading.release = column_bytes(row, 10);
    summary.reading = std::move(reading);
    return summary;
}

} // namespace

void bind(sqlite3_stmt* statement, const CallerAndTime& caller_and_time) {
    if (!caller_and_time.caller().empty()) bind_text(statement, 1, caller_and_time.caller());
    if (caller_and_time.bound()) bind_text(statement, 2, *caller_and_time.bound());
    if (caller_and_time.since()) bind_integer(statement, 3, to_unix_ms(*caller_and_time.since()));
    if (caller_and_time.until()) bind_integer(statement, 4, to_unix_ms(*caller_and_time.until()));
}

ReportInfo info_at(sqlite3_stmt* row) {
    ReportInfo info;
    info.id = sqlite3_column_int64(row, 0);
    info.caller = column_bytes(row, 1);
    info.received = from_unix_ms(sqlite3_column_int64(row, 2));
    info.file_name = column_bytes(row, 3);
    info.content_type = column_bytes(row, 4);
    info.size = static_cast<std::uint64_t>(sqlite3_column_int64(row, 5));
    info.sha256 = column_bytes(row, 6);
    return info;
}

std::vector<ReportSummary> search_reports(sqlite3* db, const ReportSearch& search) {
    const CallerAndTime caller_and_time(search.caller, search.caller_prefix, search.since, search.until);
    Statement query = prepare(db, search_sql(search, caller_and_time));
    sqlite3_stmt* statement = query.get();
    bind(statement, caller_and_time);
    if (search.failed_any_of != 0) bind_integer(statement, 5, search.failed_any_of);
    if (search.after) {
        bind_integer(statement, 6, to_unix_ms(search.after->first));
        bind_integer(statement, 7, search.after->second);
    }
    bind_integer(statement, 8, static_cast<std::int64_t>(std::min<std::size_t>(search.limit, INT64_MAX)));
    std::vector<ReportSummary> rows;
    while (step(db, statement))
        rows.push_back(summary_at(statement));
    return rows;
}

std::size_t delete_reports_before(sqlite3* db, Clock::time_point before) {
    std::size_t deleted = 0;
    for (;;) {
        // The readings go with their reports (ON DELETE CASCADE, foreign keys are on in every connection).
        Transaction transaction(db, "BEGIN IMMEDIATE");
        Statement erase = prepare(db, "DELETE FROM reports WHERE id IN (SELECT id FROM reports WHERE received_ms < ?1 "
                                      "ORDER BY received_ms LIMIT ?2)");
        bind_integer(erase.get(), 1, to_unix_ms(before));
        bind_integer(erase.get(), 2, static_cast<std::int64_t>(delete_batch));
        step(db, erase.get());
        const auto batch = static_cast<std::size_t>(sqlite3_changes(db));
        transaction.commit();
        deleted += batch;
        if (batch < delete_batch) return deleted;
    }
}

} // namespace lumresults::sqlite
