// server/store/postgres/pg_report_search.cpp: the search behind the dashboard and the API, and retention.
#include "server/store/postgres/pg_report_search.h"

#include "server/store/caller_and_time.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace lumresults::postgres {
namespace {

constexpr std::size_t delete_batch = 500;

// The statement's text: only the conditions asked for, each with its own fixed parameter number, so
// that the planner sees which index fits. The page's start is a row comparison, which an index on
// (received_ms, id) answers directly.
std::string search_sql(const ReportSearch& search, const CallerAndTime& caller_and_time) {
    std::string sql = "SELECT r.id, r.caller, r.received_ms, r.file_name, r.content_type, r.size, r.sha256, "
                      "g.rules_version, g.finished, g.failed_tests, g.release FROM reports r "
                      "LEFT JOIN report_readings g ON g.report_id = r.id WHERE true";
    sql += caller_and_time.sql("r.", '$');
    if (search.failed_any_of != 0) sql += " AND (g.failed_tests & $5) <> 0";
    if (search.after) sql += " AND (r.received_ms, r.id) < ($6, $7)";
    return sql + " ORDER BY r.received_ms DESC, r.id DESC LIMIT $8";
}

ReportSummary summary_at(const PGresult* result, int row) {
    ReportSummary summary{info_at(result, row), std::nullopt};
    if (is_null(result, row, 7)) return summary;
    ReportReading reading;
    reading.rules_version = static_cast<std::int32_t>(integer_at(result, row, 7));
    reading.finished = integer_at(result, row, 8) != 0;
    reading.failed_tests = static_cast<std::uint32_t>(integer_at(result, row, 9));
    reading.release = bytes_at(result, row, 10);
    summary.reading = std::move(reading);
    return summary;
}

} // namespace

ReportInfo info_at(const PGresult* result, int row) {
    ReportInfo info;
    info.id = integer_at(result, row, 0);
    info.caller = bytes_at(result, row, 1);
    info.received = from_unix_ms(integer_at(result, row, 2));
    info.file_name = bytes_at(result, row, 3);
    info.content_type = bytes_at(result, row, 4);
    info.size = static_cast<std::uint64_t>(integer_at(result, row, 5));
    info.sha256 = bytes_at(result, row, 6);
    return info;
}

Params caller_and_time_params(const CallerAndTime& caller_and_time) {
    Params params;
    caller_and_time.caller().empty() ? params.unused() : params.text(caller_and_time.caller());
    caller_and_time.bound() ? params.text(*caller_and_time.bound()) : params.unused();
    caller_and_time.since() ? params.time(*caller_and_time.since()) : params.unused();
    caller_and_time.until() ? params.time(*caller_and_time.until()) : params.unused();
    return params;
}

std::int64_t limit_of(std::size_t limit) { return static_cast<std::int64_t>(std::min<std::size_t>(limit, INT64_MAX)); }

std::vector<ReportSummary> search_reports(Session& session, const ReportSearch& search) {
    const CallerAndTime caller_and_time(search.caller, search.caller_prefix, search.since, search.until);
    Params params = caller_and_time_params(caller_and_time);
    search.failed_any_of != 0 ? params.integer(search.failed_any_of) : params.unused();
    if (search.after)
        params.time(search.after->first).integer(search.after->second);
    else
        params.unused().unused();
    params.integer(limit_of(search.limit));
    const Result result = session.run(search_sql(search, caller_and_time), params, "searching the reports");
    std::vector<ReportSummary> rows;
    for (int row = 0; row < PQntuples(result.get()); ++row)
        rows.push_back(summary_at(result.get(), row));
    return rows;
}

std::size_t delete_reports_before(Session& session, Clock::time_point before) {
    std::size_t deleted = 0;
    for (;;) {
        // The bytes and readings go with their reports (ON DELETE CASCADE). Each statement commits by itself.
        const Result erase =
            session.run("DELETE FROM reports WHERE id IN (SELECT id FROM reports "
                        "WHERE received_ms < $1 ORDER BY received_ms LIMIT $2)",
                        Params().time(before).integer(static_cast<std::int64_t>(delete_batch)), "deleting old reports");
        const std::size_t batch = rows_changed(erase.get());
        deleted += batch;
        if (batch < delete_batch) return deleted;
    }
}

} // namespace lumresults::postgres
