// server/store/sql/report_tables.cpp: the reports' and readings' statements: one text each, for every back end.
#include "server/store/sql/report_tables.h"

#include "server/store/sql/conditions.h"
#include "server/store/sql/count_tables.h"
#include "server/store/sql/session_table.h"

namespace lumresults::sql {
namespace {

constexpr std::size_t delete_batch = 500;

// A report's description: the first seven columns of every statement that lists reports.
constexpr const char* info_columns = "r.id, r.caller, r.received_ms, r.file_name, r.content_type, r.size, r.sha256";
constexpr int info_column_count = 7;

// A reading without its JSON, in the order reading_at reads it; rules_version is NULL without a reading.
constexpr const char* reading_columns =
    "g.rules_version, g.finished, g.failed_tests, g.derived_tests, g.release, g.release_cut, g.code_page, "
    "g.verdict_1, g.verdict_2, g.verdict_3, g.verdict_4, g.verdict_5, g.verdict_6, g.verdict_7, "
    "g.lost_echoes, g.lost_probes, g.average_ms, g.large_lost_echoes, g.download_mbps, g.packets_received";
// Seven of the summary, one verdict per test, six figures.
constexpr int summary_columns = 7;
constexpr int reading_column_count = summary_columns + static_cast<int>(READING_TESTS) + 6;

ReportInfo info_at(const Row& row) {
    return {row.integer(0), row.bytes(1), row.time(2),
            row.bytes(3),   row.bytes(4), static_cast<std::uint64_t>(row.integer(5)),
            row.bytes(6)};
}

std::optional<std::int32_t> small_at(const Row& row, int column) {
    const std::optional<std::int64_t> value = row.optional_integer(column);
    return value ? std::optional(static_cast<std::int32_t>(*value)) : std::nullopt;
}

// The reading's columns from `first` on; nothing without a reading. A reading made before readings kept
// their verdicts as columns has none of them (reanalyse reads it again): nothing too when they are needed.
std::optional<ReportReading> reading_at(const Row& row, int first, bool with_verdicts) {
    if (row.is_null(first) || (with_verdicts && row.is_null(first + summary_columns))) return std::nullopt;
    ReportReading reading;
    reading.rules_version = static_cast<std::int32_t>(row.integer(first));
    reading.finished = row.integer(first + 1) != 0;
    reading.failed_tests = static_cast<std::uint32_t>(row.integer(first + 2));
    reading.derived_tests = static_cast<std::uint32_t>(row.integer(first + 3));
    reading.release = row.bytes(first + 4);
    reading.release_cut = row.integer(first + 5) != 0;
    reading.code_page = static_cast<std::int32_t>(row.optional_integer(first + 6).value_or(0));
    for (std::size_t test = 0; test < READING_TESTS; ++test)
        reading.verdicts[test] =
            static_cast<TestVerdict>(row.integer(first + summary_columns + static_cast<int>(test)));
    const int figures = first + summary_columns + static_cast<int>(READING_TESTS);
    reading.figures = {small_at(row, figures),     small_at(row, figures + 1), row.optional_integer(figures + 2),
                       small_at(row, figures + 3), row.real(figures + 4),      small_at(row, figures + 5)};
    return reading;
}

Params& add_reading(Params& params, const ReportReading& reading) {
    params.integer(reading.rules_version)
        .boolean(reading.finished)
        .integer(reading.failed_tests)
        .integer(reading.derived_tests)
        .bytes(reading.release)
        .boolean(reading.release_cut)
        .integer(reading.code_page);
    for (const TestVerdict verdict : reading.verdicts)
        params.integer(static_cast<std::int64_t>(verdict));
    const ReadingFigures& f = reading.figures;
    return params.integer(f.lost_echoes)
        .integer(f.lost_probes)
        .integer(f.average_ms)
        .integer(f.large_lost_echoes)
        .real(f.download_mbps)
        .integer(f.packets_received)
        .bytes(reading.json);
}

// " AND r.id IN (...)" for the reports whose computer had one of the MACs or the host name asked for.
std::string computer_sql(const ReportSearch& search, Params& params) {
    std::string sql;
    if (!search.computer_macs.empty()) {
        std::string values;
        for (const std::string& mac : search.computer_macs)
            values += (values.empty() ? "" : ", ") + params.bytes(mac).last();
        sql += " AND r.id IN (SELECT c.report_id FROM report_computers c WHERE c.kind = 'mac' AND c.value IN (" +
               values + "))";
    }
    if (!search.computer_name.empty())
        sql += " AND r.id IN (SELECT c.report_id FROM report_computers c WHERE c.kind = 'host' AND c.value = " +
               params.bytes(search.computer_name).last() + ")";
    return sql;
}

// Replaces the rows that name the report's computer.
void put_computer(Session& session, std::int64_t id, const ReportComputer& computer) {
    session.execute("DELETE FROM report_computers WHERE report_id = $1", Params().integer(id),
                    "replacing a report's computer");
    const auto put = [&](const char* kind, const std::string& value) {
        session.execute("INSERT INTO report_computers (kind, value, report_id) VALUES ($1, $2, $3) "
                        "ON CONFLICT DO NOTHING",
                        Params().text(kind).bytes(value).integer(id), "keeping a report's computer");
    };
    for (const std::string& mac : computer.macs)
        put("mac", mac);
    if (!computer.host_name.empty()) put("host", computer.host_name);
}

// The page's conditions, newest first. The page's start is a row comparison, which an index on
// (received_ms, id) answers directly.
std::string search_sql(const ReportSearch& search, Params& params) {
    std::string sql = std::string("SELECT ") + info_columns + ", " + reading_columns + ", " + SUBSCRIBER_COLUMNS +
                      " FROM reports r LEFT JOIN report_readings g ON g.report_id = r.id "
                      "LEFT JOIN report_subscribers s ON s.report_id = r.id WHERE true";
    sql += caller_and_time_sql({search.caller, search.caller_prefix, search.since, search.until}, "r.", params);
    if (search.failed_any_of != 0)
        sql += " AND (g.failed_tests & " + params.integer(search.failed_any_of).last() + ") <> 0";
    sql += computer_sql(search, params);
    if (!search.other_than_caller.empty()) sql += " AND r.caller <> " + params.text(search.other_than_caller).last();
    if (!search.subscriber.empty()) sql += " AND s.user_name = " + params.bytes(search.subscriber).last();
    if (!search.node.empty()) {
        const std::string address = params.text(search.node).last();
        sql += " AND (s.node_address = " + address + " OR s.node_id = " + params.bytes(search.node).last() + ")";
    }
    if (search.after) {
        const std::string received = params.time(search.after->first).last();
        sql += " AND (r.received_ms, r.id) < (" + received + ", " + params.integer(search.after->second).last() + ")";
    }
    return sql + " ORDER BY r.received_ms DESC, r.id DESC" + limit_sql(search.limit, params);
}

} // namespace

std::optional<ReportInfo> ReportTables::find_report(std::int64_t id) {
    std::optional<ReportInfo> found;
    database_.read([&](Session& session) {
        session.query(std::string("SELECT ") + info_columns + " FROM reports r WHERE r.id = $1", Params().integer(id),
                      "finding a report", [&](const Row& row) { found = info_at(row); });
    });
    return found;
}

std::vector<ReportInfo> ReportTables::list_reports(const ReportFilter& filter) {
    Params params;
    const std::string everyone;
    std::string sql = std::string("SELECT ") + info_columns + " FROM reports r WHERE true";
    sql += caller_and_time_sql({filter.caller ? *filter.caller : everyone, false, filter.since, std::nullopt}, "r.",
                               params);
    sql += " ORDER BY r.received_ms DESC, r.id DESC" + limit_sql(filter.limit, params);
    std::vector<ReportInfo> reports;
    database_.read([&](Session& session) {
        session.query(sql, params, "listing reports", [&](const Row& row) { reports.push_back(info_at(row)); });
    });
    return reports;
}

void ReportTables::put_reading(std::int64_t id, const ReportReading& reading) {
    Params params;
    add_reading(params.integer(id), reading);
    // With the rows naming its computer and the overview's counts, in one transaction: a search or a count
    // finds what the reading says.
    database_.transaction([&](Session& session) {
        count_reading(session, id, reading); // first: it takes away what the reading replaced
        session.execute(
            "INSERT INTO report_readings (report_id, rules_version, finished, failed_tests, derived_tests, release, "
            "release_cut, code_page, verdict_1, verdict_2, verdict_3, verdict_4, verdict_5, verdict_6, verdict_7, "
            "lost_echoes, lost_probes, average_ms, large_lost_echoes, download_mbps, packets_received, reading) "
            "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, $17, $18, $19, $20, $21, "
            "$22) "
            "ON CONFLICT (report_id) DO UPDATE SET rules_version = excluded.rules_version, "
            "finished = excluded.finished, failed_tests = excluded.failed_tests, "
            "derived_tests = excluded.derived_tests, release = excluded.release, release_cut = excluded.release_cut, "
            "code_page = excluded.code_page, "
            "verdict_1 = excluded.verdict_1, verdict_2 = excluded.verdict_2, verdict_3 = excluded.verdict_3, "
            "verdict_4 = excluded.verdict_4, verdict_5 = excluded.verdict_5, verdict_6 = excluded.verdict_6, "
            "verdict_7 = excluded.verdict_7, lost_echoes = excluded.lost_echoes, lost_probes = excluded.lost_probes, "
            "average_ms = excluded.average_ms, large_lost_echoes = excluded.large_lost_echoes, "
            "download_mbps = excluded.download_mbps, packets_received = excluded.packets_received, "
            "reading = excluded.reading",
            params, "keeping a report's reading");
        put_computer(session, id, reading.computer);
        // The reading is kept as the report arrives: its subscriber is linked in the same commit.
        link_report(session, id);
    });
}

std::optional<ReportReading> ReportTables::find_reading(std::int64_t id) {
    std::optional<ReportReading> found;
    database_.read([&](Session& session) {
        session.query(std::string("SELECT ") + reading_columns +
                          ", g.reading FROM report_readings g "
                          "WHERE g.report_id = $1",
                      Params().integer(id), "finding a report's reading", [&](const Row& row) {
                          found = reading_at(row, 0, false);
                          found->json = row.bytes(reading_column_count);
                      });
    });
    return found;
}

std::vector<std::int64_t> ReportTables::reports_to_read(std::int32_t rules_version, std::int64_t after_id,
                                                        std::size_t limit) {
    Params params;
    params.integer(after_id).integer(rules_version);
    const std::string sql = "SELECT r.id FROM reports r LEFT JOIN report_readings g ON g.report_id = r.id "
                            "WHERE r.id > $1 AND (g.report_id IS NULL OR g.rules_version <> $2) ORDER BY r.id" +
                            limit_sql(limit, params);
    std::vector<std::int64_t> ids;
    database_.read([&](Session& session) {
        session.query(sql, params, "finding reports to read", [&](const Row& row) { ids.push_back(row.integer(0)); });
    });
    return ids;
}

std::vector<ReportSummary> ReportTables::search_reports(const ReportSearch& search) {
    Params params;
    const std::string sql = search_sql(search, params);
    std::vector<ReportSummary> rows;
    database_.read([&](Session& session) {
        session.query(sql, params, "searching the reports", [&](const Row& row) {
            rows.push_back({info_at(row), reading_at(row, info_column_count, true),
                            subscriber_at(row, info_column_count + reading_column_count)});
        });
    });
    return rows;
}

std::size_t ReportTables::delete_reports_before(Clock::time_point before) {
    std::size_t deleted = 0;
    for (;;) {
        // The bytes and readings go with their reports (ON DELETE CASCADE); each batch commits by itself,
        // so that retention never holds the write lock for long.
        const std::size_t batch = write_with(database_, [&](Session& session) {
            return session.execute("DELETE FROM reports WHERE id IN (SELECT id FROM reports "
                                   "WHERE received_ms < $1 ORDER BY received_ms LIMIT $2)",
                                   Params().time(before).integer(static_cast<std::int64_t>(delete_batch)),
                                   "deleting old reports");
        });
        deleted += batch;
        if (batch < delete_batch) break;
    }
    // The counts go by whole hours: those of the hour `before` falls in stay, whole, until the next sweep.
    database_.write([&](Session& session) { forget_reading_counts_before(session, before); });
    return deleted;
}

} // namespace lumresults::sql
