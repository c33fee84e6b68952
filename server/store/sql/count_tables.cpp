// server/store/sql/count_tables.cpp: the overview's counts as upserts of deltas, one statement per table, and their
// reads.
#include "server/store/sql/count_tables.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <tuple>

#include "server/http/caller_address.h"

namespace lumresults {

std::int32_t speed_bucket(double mbps) {
    const double clamped = std::clamp(mbps, 1e-3, 1e6);
    return static_cast<std::int32_t>(std::floor(std::log2(clamped) * 8));
}

double bucket_middle(std::int32_t bucket) { return std::exp2((bucket + 0.5) / 8); }

} // namespace lumresults

namespace lumresults::sql {
namespace {

constexpr std::int64_t HOUR_MS = 3'600'000;

std::int64_t hour_of(std::int64_t unix_ms) { return unix_ms - (unix_ms % HOUR_MS + HOUR_MS) % HOUR_MS; }

// (test, verdict) -> how many to add (or take away, when negative).
using Deltas = std::map<std::pair<std::int32_t, std::int32_t>, std::int64_t>;

void add_reading(Deltas& deltas, bool finished, const std::array<TestVerdict, READING_TESTS>& verdicts,
                 std::int64_t sign) {
    deltas[{0, static_cast<std::int32_t>(finished ? TestVerdict::ok : TestVerdict::failed)}] += sign;
    for (std::size_t test = 0; test < READING_TESTS; ++test)
        deltas[{static_cast<std::int32_t>(test) + 1, static_cast<std::int32_t>(verdicts[test])}] += sign;
}

Params& add(Params& params, std::int64_t value) { return params.integer(value); }
Params& add(Params& params, const std::string& value) { return params.text(value); }

// "($n, $n+1, ...)" for the values, each added to params.
template <typename... Values> std::string row_of(Params& params, const Values&... values) {
    std::string row;
    ((row += (row.empty() ? "(" : ", ") + add(params, values).last()), ...);
    return row + ")";
}

// One upsert of every delta for each of the caller's blocks, and one for the whole network: the hour's row
// for each (test, verdict).
void apply(Session& session, std::int64_t hour_ms, const std::vector<std::string>& blocks, const Deltas& deltas) {
    Params by_block;
    Params network;
    std::string block_rows;
    std::string network_rows;
    for (const auto& [key, delta] : deltas) {
        if (delta == 0) continue;
        const std::int64_t test = key.first;
        const std::int64_t verdict = key.second;
        for (const std::string& block : blocks)
            block_rows += (block_rows.empty() ? "" : ", ") + row_of(by_block, hour_ms, block, test, verdict, delta);
        network_rows += (network_rows.empty() ? "" : ", ") + row_of(network, hour_ms, test, verdict, delta);
    }
    if (network_rows.empty()) return;
    if (block_rows.empty()) { // a caller that is no address: counted for the network only
        session.execute("INSERT INTO network_counts (hour_ms, test, verdict, reports) VALUES " + network_rows +
                            " ON CONFLICT (hour_ms, test, verdict) DO UPDATE SET reports = "
                            "network_counts.reports + excluded.reports",
                        network, "counting a reading for the network");
        return;
    }
    session.execute("INSERT INTO reading_counts (hour_ms, block, test, verdict, reports) VALUES " + block_rows +
                        " ON CONFLICT (hour_ms, block, test, verdict) DO UPDATE SET reports = "
                        "reading_counts.reports + excluded.reports",
                    by_block, "counting a reading by its block");
    session.execute("INSERT INTO network_counts (hour_ms, test, verdict, reports) VALUES " + network_rows +
                        " ON CONFLICT (hour_ms, test, verdict) DO UPDATE SET reports = "
                        "network_counts.reports + excluded.reports",
                    network, "counting a reading for the network");
}

std::string hours_sql(const CountRange& range, Params& params) {
    return " hour_ms >= " + params.time(range.from).last() + " AND hour_ms < " + params.time(range.to).last();
}

// The hours, and the one block asked for.
std::string range_sql(const CountRange& range, Params& params) {
    return hours_sql(range, params) + " AND block = " + params.text(range.block).last();
}

// The hours, and the /24s and /48s within the block asked for (a /16's text up to its zeros: "100.102."). The
// block is compared by its start rather than as a range, so that the planner seeks by the hours.
std::string within_sql(const CountRange& range, Params& params) {
    std::string sql = hours_sql(range, params) + " AND block NOT LIKE '%/16'";
    if (range.block.empty()) return sql;
    const std::string prefix =
        range.block.ends_with("/16") ? range.block.substr(0, range.block.find(".0.0/") + 1) : range.block;
    // The length is this program's own number, written in: PostgreSQL's substr takes no bigint parameter.
    return sql + " AND substr(block, 1, " + std::to_string(prefix.size()) + ") = " + params.text(prefix).last();
}

Clock::time_point time_of_ms(std::int64_t unix_ms) { return Clock::time_point(std::chrono::milliseconds(unix_ms)); }

} // namespace

void count_reading(Session& session, std::int64_t id, const ReportReading& reading) {
    std::optional<std::int64_t> received_ms;
    std::string caller;
    Deltas deltas;
    session.query("SELECT r.received_ms, r.caller, g.finished, g.verdict_1, g.verdict_2, g.verdict_3, g.verdict_4, "
                  "g.verdict_5, g.verdict_6, g.verdict_7 FROM reports r LEFT JOIN report_readings g "
                  "ON g.report_id = r.id WHERE r.id = $1",
                  Params().integer(id), "finding what a reading replaces", [&](const Row& row) {
                      received_ms = row.integer(0);
                      caller = row.bytes(1);
                      // A reading made before readings had verdict columns was never counted.
                      if (row.is_null(2) || row.is_null(3)) return;
                      std::array<TestVerdict, READING_TESTS> verdicts{};
                      for (std::size_t test = 0; test < READING_TESTS; ++test)
                          verdicts[test] = static_cast<TestVerdict>(row.integer(3 + static_cast<int>(test)));
                      add_reading(deltas, row.integer(2) != 0, verdicts, -1);
                  });
    if (!received_ms) return; // no such report: the reading's own statement says so
    add_reading(deltas, reading.finished, reading.verdicts, +1);
    apply(session, hour_of(*received_ms), address_blocks(caller), deltas);
}

void count_speed_test(Session& session, const NewSpeedTest& test) {
    const std::int64_t hour_ms = hour_of(to_unix_ms(test.received));
    // The whole network's under the empty block, beside each of the caller's blocks.
    std::vector<std::string> blocks = address_blocks(test.caller);
    blocks.emplace_back();
    for (const auto& [upload, figure] : {std::pair{0, test.download_mbps}, std::pair{1, test.upload_mbps}}) {
        if (!figure) continue;
        for (const std::string& block : blocks)
            session.execute(
                "INSERT INTO speed_counts (hour_ms, block, upload, bucket, tests) VALUES ($1, $2, $3, $4, 1) "
                "ON CONFLICT (hour_ms, block, upload, bucket) DO UPDATE SET tests = speed_counts.tests + 1",
                Params().integer(hour_ms).text(block).integer(upload).integer(speed_bucket(*figure)),
                "counting a speed test");
    }
}

void forget_reading_counts_before(Session& session, Clock::time_point before) {
    const Params hour = Params().integer(hour_of(to_unix_ms(before)));
    session.execute("DELETE FROM reading_counts WHERE hour_ms < $1", hour, "deleting old counts");
    session.execute("DELETE FROM network_counts WHERE hour_ms < $1", hour, "deleting old counts");
}

void forget_speed_counts_before(Session& session, Clock::time_point before) {
    session.execute("DELETE FROM speed_counts WHERE hour_ms < $1", Params().integer(hour_of(to_unix_ms(before))),
                    "deleting old speed counts");
}

std::vector<ReadingCount> CountTables::reading_counts(const CountRange& range) {
    Params params;
    // One row per hour, test and verdict either way: the network's table, or the block's own rows.
    const std::string sql =
        (range.block.empty()
             ? "SELECT hour_ms, test, verdict, reports FROM network_counts WHERE" + hours_sql(range, params)
             : "SELECT hour_ms, test, verdict, reports FROM reading_counts WHERE" + range_sql(range, params)) +
        " AND reports <> 0 ORDER BY hour_ms, test, verdict";
    std::vector<ReadingCount> counts;
    database_.read([&](Session& session) {
        session.query(sql, params, "counting readings by the hour", [&](const Row& row) {
            counts.push_back({time_of_ms(row.integer(0)),
                              {},
                              static_cast<std::int32_t>(row.integer(1)),
                              static_cast<TestVerdict>(row.integer(2)),
                              row.integer(3)});
        });
    });
    return counts;
}

std::vector<ReadingCount> CountTables::block_counts(const CountRange& range, const std::vector<std::string>& blocks) {
    Params params;
    std::string sql = "SELECT block, test, verdict, CAST(SUM(reports) AS BIGINT) FROM reading_counts WHERE" +
                      within_sql(range, params);
    if (!blocks.empty()) {
        std::string list;
        for (const std::string& block : blocks)
            list += (list.empty() ? "" : ", ") + params.text(block).last();
        sql += " AND block IN (" + list + ")";
    }
    sql += " GROUP BY block, test, verdict HAVING SUM(reports) <> 0 ORDER BY block, test, verdict";
    std::vector<ReadingCount> counts;
    database_.read([&](Session& session) {
        session.query(sql, params, "counting readings by block", [&](const Row& row) {
            counts.push_back({range.from, row.bytes(0), static_cast<std::int32_t>(row.integer(1)),
                              static_cast<TestVerdict>(row.integer(2)), row.integer(3)});
        });
    });
    return counts;
}

std::vector<ReadingCount> CountTables::busy_blocks(const CountRange& range, std::int64_t least) {
    Params params;
    std::string sql = "SELECT hour_ms, block, CAST(SUM(reports) AS BIGINT) FROM reading_counts WHERE test = 0 AND" +
                      within_sql(range, params);
    sql +=
        " GROUP BY hour_ms, block HAVING SUM(reports) >= " + params.integer(least).last() + " ORDER BY hour_ms, block";
    std::vector<ReadingCount> counts;
    database_.read([&](Session& session) {
        session.query(sql, params, "finding busy blocks", [&](const Row& row) {
            counts.push_back({time_of_ms(row.integer(0)), row.bytes(1), 0, TestVerdict::not_reached, row.integer(2)});
        });
    });
    return counts;
}

std::vector<SpeedCount> CountTables::speed_counts(const CountRange& range) {
    Params params;
    const std::string sql = "SELECT hour_ms, upload, bucket, tests FROM speed_counts WHERE" + range_sql(range, params) +
                            " ORDER BY hour_ms, upload, bucket";
    std::vector<SpeedCount> counts;
    database_.read([&](Session& session) {
        session.query(sql, params, "counting speed tests", [&](const Row& row) {
            counts.push_back({time_of_ms(row.integer(0)), row.integer(1) != 0,
                              static_cast<std::int32_t>(row.integer(2)), row.integer(3)});
        });
    });
    return counts;
}

namespace {

// The readings of reports received from `from_ms` to `to_ms`, summed in memory by hour and /24 (or /48) and
// then written a group at a time: a day's readings fall into far fewer groups than there are readings, and
// a day at a time keeps the memory a recount takes to a day's groups.
void recount_readings(Session& session, std::int64_t from_ms, std::int64_t to_ms) {
    std::map<std::pair<std::int64_t, std::string>, std::pair<std::vector<std::string>, Deltas>> groups;
    session.query("SELECT r.received_ms, r.caller, g.finished, g.verdict_1, g.verdict_2, g.verdict_3, g.verdict_4, "
                  "g.verdict_5, g.verdict_6, g.verdict_7 FROM reports r JOIN report_readings g ON g.report_id = r.id "
                  "WHERE r.received_ms >= $1 AND r.received_ms < $2 AND g.verdict_1 IS NOT NULL",
                  Params().integer(from_ms).integer(to_ms), "recounting the readings", [&](const Row& row) {
                      std::vector<std::string> blocks = address_blocks(row.bytes(1));
                      auto& group = groups[{hour_of(row.integer(0)), blocks.empty() ? "" : blocks.front()}];
                      group.first = std::move(blocks);
                      std::array<TestVerdict, READING_TESTS> verdicts{};
                      for (std::size_t test = 0; test < READING_TESTS; ++test)
                          verdicts[test] = static_cast<TestVerdict>(row.integer(3 + static_cast<int>(test)));
                      add_reading(group.second, row.integer(2) != 0, verdicts, +1);
                  });
    for (const auto& [key, group] : groups)
        apply(session, key.first, group.first, group.second);
}

} // namespace

void CountTables::recount() {
    database_.transaction([&](Session& session) {
        for (const char* table : {"reading_counts", "network_counts", "speed_counts"})
            session.execute(std::string("DELETE FROM ") + table, Params(), "recounting");
        std::optional<std::int64_t> first_ms;
        std::optional<std::int64_t> last_ms;
        session.query("SELECT MIN(received_ms), MAX(received_ms) FROM reports", Params(), "recounting",
                      [&](const Row& row) {
                          if (!row.is_null(0)) first_ms = row.integer(0), last_ms = row.integer(1);
                      });
        if (first_ms)
            for (std::int64_t day = hour_of(*first_ms); day <= *last_ms; day += 24 * HOUR_MS)
                recount_readings(session, day, day + 24 * HOUR_MS);
        std::vector<NewSpeedTest> tests;
        session.query("SELECT caller, received_ms, download_mbps, upload_mbps FROM speed_tests", Params(),
                      "recounting the speed tests", [&](const Row& row) {
                          NewSpeedTest test;
                          test.caller = row.bytes(0);
                          test.received = row.time(1);
                          test.download_mbps = row.real(2);
                          test.upload_mbps = row.real(3);
                          tests.push_back(std::move(test));
                      });
        for (const NewSpeedTest& test : tests)
            count_speed_test(session, test);
    });
}

} // namespace lumresults::sql
