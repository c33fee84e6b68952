// server/store/sql/speed_test_table.cpp: the speed tests' statements: one text each, for every back end.
#include "server/store/sql/speed_test_table.h"

#include "server/store/sql/conditions.h"
#include "server/store/sql/count_tables.h"

namespace lumresults::sql {

// Never waited for by a report upload; its own transaction, with the overview's count, durable when it returns.
std::int64_t SpeedTestTable::put_speed_test(const NewSpeedTest& test) {
    std::int64_t kept = 0;
    database_.transaction([&](Session& session) {
        const std::optional<std::int64_t> id =
            single_integer(session,
                           "INSERT INTO speed_tests (caller, received_ms, user_agent, download_mbps, upload_mbps, "
                           "latency_ms, jitter_ms) VALUES ($1, $2, $3, $4, $5, $6, $7) RETURNING id",
                           Params()
                               .text(test.caller)
                               .time(test.received)
                               .bytes(test.user_agent)
                               .real(test.download_mbps)
                               .real(test.upload_mbps)
                               .real(test.latency_ms)
                               .real(test.jitter_ms),
                           "storing a speed test");
        if (!id) throw StoreError("storing a speed test: no id came back");
        count_speed_test(session, test);
        kept = *id;
    });
    return kept;
}

std::vector<SpeedTest> SpeedTestTable::search_speed_tests(const SpeedTestSearch& search) {
    Params params;
    std::string sql = "SELECT id, caller, received_ms, user_agent, download_mbps, upload_mbps, latency_ms, jitter_ms "
                      "FROM speed_tests WHERE true";
    sql += caller_and_time_sql({search.caller, search.caller_prefix, search.since, search.until}, "", params);
    sql += " ORDER BY received_ms DESC, id DESC" + limit_sql(search.limit, params);
    std::vector<SpeedTest> rows;
    database_.read([&](Session& session) {
        session.query(sql, params, "searching the speed tests", [&](const Row& row) {
            SpeedTest test;
            test.id = row.integer(0);
            test.caller = row.bytes(1);
            test.received = row.time(2);
            test.user_agent = row.bytes(3);
            test.download_mbps = row.real(4);
            test.upload_mbps = row.real(5);
            test.latency_ms = row.real(6);
            test.jitter_ms = row.real(7);
            rows.push_back(std::move(test));
        });
    });
    return rows;
}

std::size_t SpeedTestTable::delete_speed_tests_before(Clock::time_point before) {
    return write_with(database_, [&](Session& session) {
        forget_speed_counts_before(session, before);
        return session.execute("DELETE FROM speed_tests WHERE received_ms < $1", Params().time(before),
                               "deleting old speed tests");
    });
}

} // namespace lumresults::sql
