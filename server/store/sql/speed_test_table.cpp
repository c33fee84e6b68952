// server/store/sql/speed_test_table.cpp: the speed tests' statements: one text each, for every back end.
#include "server/store/sql/speed_test_table.h"

#include "server/store/sql/conditions.h"
#include "server/store/sql/count_tables.h"

namespace lumresults::sql {
namespace {

// A spent token's row outlives its expiry by this much, so that an instance whose clock runs behind the
// one that swept it still finds the token spent.
constexpr std::chrono::hours SPENT_KEPT_PAST_EXPIRY{1};

// Within the transaction that keeps a result: false when a result with this token was kept before (by
// any instance: the row is the store's). Tokens long expired go first, which no instance takes anyway, so
// that the table holds only those given in the last hour and a half, whatever the retention.
bool spend(Session& session, const SpeedTestToken& token, Clock::time_point now) {
    session.execute("DELETE FROM spent_result_tokens WHERE expires_ms < $1",
                    Params().time(now - SPENT_KEPT_PAST_EXPIRY), "forgetting expired result tokens");
    return session.execute("INSERT INTO spent_result_tokens (mac, expires_ms) VALUES ($1, $2) ON CONFLICT DO NOTHING",
                           Params().bytes(token.mac).time(token.expires), "spending a result token") == 1;
}

} // namespace

// Never waited for by a report upload; its own transaction, with the token spent and the overview's count,
// durable when it returns.
std::optional<std::int64_t> SpeedTestTable::put_speed_test(const NewSpeedTest& test, const SpeedTestToken& token) {
    std::optional<std::int64_t> kept;
    database_.transaction([&](Session& session) {
        if (!token.mac.empty() && !spend(session, token, test.received)) return;
        kept = single_integer(session,
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
        if (!kept) throw StoreError("storing a speed test: no id came back");
        count_speed_test(session, test);
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
