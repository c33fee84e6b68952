// server/store/sqlite/speed_tests.cpp: the statements behind the speed_tests table.
#include "server/store/sqlite/speed_tests.h"

#include "server/store/sqlite/report_search.h"

#include <algorithm>
#include <string>

namespace lumresults::sqlite {
namespace {

void bind_figure(sqlite3* db, sqlite3_stmt* statement, int index, const std::optional<double>& figure) {
    check(db, figure ? sqlite3_bind_double(statement, index, *figure) : sqlite3_bind_null(statement, index),
          "binding a speed test's figure");
}

std::optional<double> figure_at(sqlite3_stmt* row, int column) {
    if (sqlite3_column_type(row, column) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_double(row, column);
}

// Only the conditions asked for, each with its own fixed parameter number, so that SQLite picks the index.
std::string search_sql(const CallerAndTime& caller_and_time) {
    return "SELECT id, caller, received_ms, user_agent, download_mbps, upload_mbps, latency_ms, jitter_ms "
           "FROM speed_tests WHERE 1" +
           caller_and_time.sql("", '?') + " ORDER BY received_ms DESC, id DESC LIMIT ?5";
}

SpeedTest speed_test_at(sqlite3_stmt* row) {
    SpeedTest test;
    test.id = sqlite3_column_int64(row, 0);
    test.caller = column_bytes(row, 1);
    test.received = from_unix_ms(sqlite3_column_int64(row, 2));
    test.user_agent = column_bytes(row, 3);
    test.download_mbps = figure_at(row, 4);
    test.upload_mbps = figure_at(row, 5);
    test.latency_ms = figure_at(row, 6);
    test.jitter_ms = figure_at(row, 7);
    return test;
}

} // namespace

std::int64_t put_speed_test(sqlite3* db, const NewSpeedTest& test) {
    Statement insert = prepare(db, "INSERT INTO speed_tests (caller, received_ms, user_agent, download_mbps, "
                                   "upload_mbps, latency_ms, jitter_ms) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    sqlite3_stmt* statement = insert.get();
    bind_text(statement, 1, test.caller);
    bind_integer(statement, 2, to_unix_ms(test.received));
    bind_bytes(statement, 3, test.user_agent);
    bind_figure(db, statement, 4, test.download_mbps);
    bind_figure(db, statement, 5, test.upload_mbps);
    bind_figure(db, statement, 6, test.latency_ms);
    bind_figure(db, statement, 7, test.jitter_ms);
    // Its own transaction: with synchronous=FULL it is on stable storage once this step returns.
    step(db, statement);
    return sqlite3_last_insert_rowid(db);
}

std::vector<SpeedTest> search_speed_tests(sqlite3* db, const SpeedTestSearch& search) {
    const CallerAndTime caller_and_time(search.caller, search.caller_prefix, search.since, search.until);
    Statement query = prepare(db, search_sql(caller_and_time));
    sqlite3_stmt* statement = query.get();
    bind(statement, caller_and_time);
    bind_integer(statement, 5, static_cast<std::int64_t>(std::min<std::size_t>(search.limit, INT64_MAX)));
    std::vector<SpeedTest> rows;
    while (step(db, statement))
        rows.push_back(speed_test_at(statement));
    return rows;
}

std::size_t delete_speed_tests_before(sqlite3* db, Clock::time_point before) {
    Statement erase = prepare(db, "DELETE FROM speed_tests WHERE received_ms < ?1");
    bind_integer(erase.get(), 1, to_unix_ms(before));
    step(db, erase.get());
    return static_cast<std::size_t>(sqlite3_changes(db));
}

} // namespace lumresults::sqlite
