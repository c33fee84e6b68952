// server/store/sql/count_tables.cpp: the overview's counts as upserts of a reading's figures into its hour's rows,
// and their reads.
#include "server/store/sql/count_tables.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <tuple>

#include "server/net/ip_address.h"

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

// An hour's counts of the whole network and of each /16, which the readings of many subscribers add to, are
// kept in this many rows, a report's reading always in the same one (chosen by its id), so that readings
// kept at once seldom wait for one another's row lock.
constexpr std::int64_t PARTS = 16;

std::int64_t part_of(std::int64_t id) { return id % PARTS; }

std::int64_t hour_of(std::int64_t unix_ms) { return unix_ms - (unix_ms % HOUR_MS + HOUR_MS) % HOUR_MS; }

// A row's figures, in the order of its columns: the reports finished and cut short, then for each test the
// reports it passed and failed in (one not reached or skipped is in neither).
constexpr std::size_t FIGURES = 2 + 2 * READING_TESTS;
using Figures = std::array<std::int64_t, FIGURES>;

// Each figure's column written as `form`, in which '#' stands for its name, joined by commas.
std::string each_figure(std::string_view form) {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list{"finished", "cut_short"};
        for (std::size_t test = 1; test <= READING_TESTS; ++test) {
            list.push_back("ok_" + std::to_string(test));
            list.push_back("failed_" + std::to_string(test));
        }
        return list;
    }();
    std::string joined;
    for (const std::string& name : names) {
        if (!joined.empty()) joined += ", ";
        for (const char c : form)
            c == '#' ? joined += name : joined += c;
    }
    return joined;
}

void add_reading(Figures& figures, bool finished, const std::array<TestVerdict, READING_TESTS>& verdicts,
                 std::int64_t sign) {
    figures[finished ? 0 : 1] += sign;
    for (std::size_t test = 0; test < READING_TESTS; ++test) {
        if (verdicts[test] == TestVerdict::ok) figures[2 + 2 * test] += sign;
        if (verdicts[test] == TestVerdict::failed) figures[3 + 2 * test] += sign;
    }
}

std::array<TestVerdict, READING_TESTS> verdicts_at(const Row& row, int first) {
    std::array<TestVerdict, READING_TESTS> verdicts{};
    for (std::size_t test = 0; test < READING_TESTS; ++test)
        verdicts[test] = static_cast<TestVerdict>(row.integer(first + static_cast<int>(test)));
    return verdicts;
}

// The figures of a row that starts at column `first`, as counts by test and verdict (the reports themselves
// as test 0: ok when finished, failed when cut short); none that are nothing.
void add_counts(std::vector<ReadingCount>& counts, Clock::time_point hour, const std::string& block, const Row& row,
                int first) {
    for (std::size_t figure = 0; figure < FIGURES; ++figure) {
        const std::int64_t reports = row.integer(first + static_cast<int>(figure));
        if (reports == 0) continue;
        counts.push_back({hour, block, static_cast<std::int32_t>(figure / 2),
                          figure % 2 == 0 ? TestVerdict::ok : TestVerdict::failed, reports});
    }
}

// Whole-network ("") and customer-block (/16) counts live in network_counts, in parts; a /24's or /48's in
// reading_counts, one row an hour.
bool wide(const std::string& block) { return block.empty() || block.ends_with("/16"); }

// Adds the figures to the hour's row of each of the caller's blocks and, in part `part`, to the whole
// network's: one statement a table, whose text depends only on how many rows it adds to.
void apply(Session& session, std::int64_t hour_ms, std::int64_t part, std::vector<std::string> blocks,
           const Figures& figures) {
    if (std::all_of(figures.begin(), figures.end(), [](std::int64_t figure) { return figure == 0; })) return;
    blocks.emplace_back();
    for (const bool in_parts : {false, true}) {
        const std::string table = in_parts ? "network_counts" : "reading_counts";
        Params params;
        const std::string head =
            ", " + params.integer(hour_ms).last() + (in_parts ? ", " + params.integer(part).last() : "");
        std::string values;
        for (const std::int64_t figure : figures)
            values += ", " + params.integer(figure).last();
        std::string rows;
        for (const std::string& block : blocks)
            if (wide(block) == in_parts)
                rows += (rows.empty() ? "(" : ", (") + params.text(block).last() + head + values + ")";
        if (rows.empty()) continue;
        session.execute("INSERT INTO " + table + " (block, hour_ms" + (in_parts ? ", part" : "") + ", " +
                            each_figure("#") + ") VALUES " + rows + " ON CONFLICT (" +
                            (in_parts ? "block, hour_ms, part" : "hour_ms, block") + ") DO UPDATE SET " +
                            each_figure("# = " + table + ".# + excluded.#"),
                        params, "counting a reading");
    }
}

std::string hours_sql(const CountRange& range, Params& params) {
    return " hour_ms >= " + params.time(range.from).last() + " AND hour_ms < " + params.time(range.to).last();
}

// The hours, and the one block asked for ("" the whole network's).
std::string range_sql(const CountRange& range, Params& params) {
    return " block = " + params.text(range.block).last() + " AND" + hours_sql(range, params);
}

// The hours, and the /24s and /48s within the block asked for (a /16's text up to its zeros: "100.102."). The
// block is compared by its start rather than as a range, so that the planner seeks by the hours.
std::string within_sql(const CountRange& range, Params& params) {
    std::string sql = hours_sql(range, params);
    if (range.block.empty()) return sql;
    const std::string prefix =
        range.block.ends_with("/16") ? range.block.substr(0, range.block.find(".0.0/") + 1) : range.block;
    // The length is this program's own number, written in: PostgreSQL's substr takes no bigint parameter.
    return sql + " AND substr(block, 1, " + std::to_string(prefix.size()) + ") = " + params.text(prefix).last();
}

Clock::time_point time_of_ms(std::int64_t unix_ms) { return Clock::time_point(std::chrono::milliseconds(unix_ms)); }

} // namespace

void count_reading(Session& session, std::int64_t id, const ReportReading& reading) {
    // The report's row is locked first, and what the reading replaces is read after, by a statement of its
    // own: another reading of the same report kept at once (an upload's and `lumresults reanalyse`'s) has
    // then either committed, and is taken away here, or not begun, and takes this one away. Read by the
    // statement that waited for the lock, it would be seen as it was before the wait (PostgreSQL's READ
    // COMMITTED gives each statement the snapshot of its start), and both readings would be counted.
    std::optional<std::int64_t> received_ms;
    std::string caller;
    session.query("SELECT received_ms, caller FROM reports WHERE id = $1 FOR UPDATE", Params().integer(id),
                  "counting: holding a report while its reading changes", [&](const Row& row) {
                      received_ms = row.integer(0);
                      caller = row.bytes(1);
                  });
    if (!received_ms) return; // no such report: the reading's own statement says so
    Figures figures{};
    session.query("SELECT finished, verdict_1, verdict_2, verdict_3, verdict_4, verdict_5, verdict_6, verdict_7 "
                  "FROM report_readings WHERE report_id = $1",
                  Params().integer(id), "counting: finding what a reading replaces", [&](const Row& row) {
                      // A reading made before readings had verdict columns was never counted.
                      if (row.is_null(1)) return;
                      add_reading(figures, row.integer(0) != 0, verdicts_at(row, 1), -1);
                  });
    add_reading(figures, reading.finished, reading.verdicts, +1);
    apply(session, hour_of(*received_ms), part_of(id), address_blocks(caller), figures);
}

void count_speed_test(Session& session, const NewSpeedTest& test) {
    // The whole network's under the empty block, beside each of the caller's blocks: one statement.
    std::vector<std::string> blocks = address_blocks(test.caller);
    blocks.emplace_back();
    Params params;
    const std::string hour = params.integer(hour_of(to_unix_ms(test.received))).last();
    std::string rows;
    for (const auto& [upload, figure] : {std::pair{0, test.download_mbps}, std::pair{1, test.upload_mbps}}) {
        if (!figure) continue;
        const std::string kind = params.integer(upload).last();
        const std::string bucket = params.integer(speed_bucket(*figure)).last();
        for (const std::string& block : blocks)
            rows += (rows.empty() ? "(" : ", (") + params.text(block).last() + ", " + hour + ", " + kind + ", " +
                    bucket + ", 1)";
    }
    if (rows.empty()) return;
    session.execute("INSERT INTO speed_counts (block, hour_ms, upload, bucket, tests) VALUES " + rows +
                        " ON CONFLICT (block, hour_ms, upload, bucket) DO UPDATE SET tests = speed_counts.tests + 1",
                    params, "counting a speed test");
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
    // The network's and a /16's hours are in parts, summed here. PostgreSQL's SUM of bigints is a numeric.
    const std::string sql = wide(range.block) ? "SELECT hour_ms, " + each_figure("CAST(SUM(#) AS BIGINT)") +
                                                    " FROM network_counts WHERE" + range_sql(range, params) +
                                                    " GROUP BY hour_ms ORDER BY hour_ms"
                                              : "SELECT hour_ms, " + each_figure("#") + " FROM reading_counts WHERE" +
                                                    range_sql(range, params) + " ORDER BY hour_ms";
    std::vector<ReadingCount> counts;
    database_.read([&](Session& session) {
        session.query(sql, params, "counting readings by the hour",
                      [&](const Row& row) { add_counts(counts, time_of_ms(row.integer(0)), {}, row, 1); });
    });
    return counts;
}

std::vector<ReadingCount> CountTables::block_counts(const CountRange& range, const std::vector<std::string>& blocks) {
    Params params;
    std::string sql = "SELECT block, " + each_figure("CAST(SUM(#) AS BIGINT)") + " FROM reading_counts WHERE" +
                      within_sql(range, params);
    if (!blocks.empty()) {
        std::string list;
        for (const std::string& block : blocks)
            list += (list.empty() ? "" : ", ") + params.text(block).last();
        sql += " AND block IN (" + list + ")";
    }
    sql += " GROUP BY block ORDER BY block";
    std::vector<ReadingCount> counts;
    database_.read([&](Session& session) {
        session.query(sql, params, "counting readings by block",
                      [&](const Row& row) { add_counts(counts, range.from, row.bytes(0), row, 1); });
    });
    return counts;
}

std::vector<ReadingCount> CountTables::busy_blocks(const CountRange& range, std::int64_t least) {
    Params params;
    // One row an hour and block: nothing to sum.
    const std::string sql = "SELECT hour_ms, block, finished + cut_short FROM reading_counts WHERE" +
                            within_sql(range, params) + " AND finished + cut_short >= " + params.integer(least).last() +
                            " ORDER BY hour_ms, block";
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

// The readings of reports received from `from_ms` to `to_ms`, summed in memory by hour, /24 (or /48) and
// part and then written a group at a time: a day's readings fall into far fewer groups than there are readings, and
// a day at a time keeps the memory a recount takes to a day's groups.
void recount_readings(Session& session, std::int64_t from_ms, std::int64_t to_ms) {
    std::map<std::tuple<std::int64_t, std::string, std::int64_t>, std::pair<std::vector<std::string>, Figures>> groups;
    session.query(
        "SELECT r.received_ms, r.caller, r.id, g.finished, g.verdict_1, g.verdict_2, g.verdict_3, g.verdict_4, "
        "g.verdict_5, g.verdict_6, g.verdict_7 FROM reports r JOIN report_readings g ON g.report_id = r.id "
        "WHERE r.received_ms >= $1 AND r.received_ms < $2 AND g.verdict_1 IS NOT NULL",
        Params().integer(from_ms).integer(to_ms), "recounting the readings", [&](const Row& row) {
            std::vector<std::string> blocks = address_blocks(row.bytes(1));
            auto& group =
                groups[{hour_of(row.integer(0)), blocks.empty() ? "" : blocks.front(), part_of(row.integer(2))}];
            group.first = std::move(blocks);
            add_reading(group.second, row.integer(3) != 0, verdicts_at(row, 4), +1);
        });
    for (const auto& [key, group] : groups)
        apply(session, std::get<0>(key), std::get<2>(key), group.first, group.second);
}

} // namespace

void CountTables::recount() {
    database_.transaction([&](Session& session) {
        // Readings kept meanwhile must land wholly before the recount reads them or wholly after it: one that
        // committed between the DELETE and the reading of the readings, into an hour's row the DELETE had not
        // locked, would be counted twice. A writer that has added to these tables holds them until it commits, so
        // the lock waits for it; one that has not yet waits at its first addition until the recount has
        // committed, and then counts itself against what the recount wrote. Readers are not held.
        session.execute("LOCK TABLE reading_counts, network_counts, speed_counts IN EXCLUSIVE MODE", Params(),
                        "recounting");
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
