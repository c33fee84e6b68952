// server/store/postgres/pg_speed_tests.cpp: the statements behind the speed_tests table.
#include "server/store/postgres/pg_speed_tests.h"

#include "server/store/postgres/pg_report_search.h"

#include <string>

namespace lumresults::postgres {
namespace {

// Only the conditions asked for, each with its own fixed parameter number, so that the planner picks the index.
std::string search_sql(const CallerAndTime& caller_and_time) {
    return "SELECT id, caller, received_ms, user_agent, download_mbps, upload_mbps, latency_ms, jitter_ms "
           "FROM speed_tests WHERE true" +
           caller_and_time.sql("", '$') + " ORDER BY received_ms DESC, id DESC LIMIT $5";
}

SpeedTest speed_test_at(const PGresult* result, int row) {
    SpeedTest test;
    test.id = integer_at(result, row, 0);
    test.caller = bytes_at(result, row, 1);
    test.received = from_unix_ms(integer_at(result, row, 2));
    test.user_agent = bytes_at(result, row, 3);
    test.download_mbps = real_at(result, row, 4);
    test.upload_mbps = real_at(result, row, 5);
    test.latency_ms = real_at(result, row, 6);
    test.jitter_ms = real_at(result, row, 7);
    return test;
}

} // namespace

std::int64_t put_speed_test(Session& session, const NewSpeedTest& test) {
    // Its own transaction: with synchronous_commit on, durable once this returns.
    const Result inserted = session.run("INSERT INTO speed_tests (caller, received_ms, user_agent, download_mbps, "
                                        "upload_mbps, latency_ms, jitter_ms) VALUES ($1, $2, $3, $4, $5, $6, $7) "
                                        "RETURNING id",
                                        Params()
                                            .text(test.caller)
                                            .time(test.received)
                                            .bytes(test.user_agent)
                                            .real(test.download_mbps)
                                            .real(test.upload_mbps)
                                            .real(test.latency_ms)
                                            .real(test.jitter_ms),
                                        "storing a speed test");
    return integer_at(inserted.get(), 0, 0);
}

std::vector<SpeedTest> search_speed_tests(Session& session, const SpeedTestSearch& search) {
    const CallerAndTime caller_and_time(search.caller, search.caller_prefix, search.since, search.until);
    Params params = caller_and_time_params(caller_and_time);
    params.integer(limit_of(search.limit));
    const Result result = session.run(search_sql(caller_and_time), params, "searching the speed tests");
    std::vector<SpeedTest> rows;
    for (int row = 0; row < PQntuples(result.get()); ++row)
        rows.push_back(speed_test_at(result.get(), row));
    return rows;
}

std::size_t delete_speed_tests_before(Session& session, Clock::time_point before) {
    const Result erase = session.run("DELETE FROM speed_tests WHERE received_ms < $1", Params().time(before),
                                     "deleting old speed tests");
    return rows_changed(erase.get());
}

} // namespace lumresults::postgres
