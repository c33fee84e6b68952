// server/store/postgres/pg_store.cpp: the Store on PostgreSQL: pooled sessions, one transaction per upload.
//
// Threads: each call leases a session of its own from the pool, so calls run side by side and
// PostgreSQL orders them (it also flushes commits that arrive together in one write, so uploads need no
// commit queue of their own here). Report bytes move in pieces of content_piece bytes, one row each:
// written as they are read from the content file, read back in single-row mode, never whole in memory.
#include "server/store/content_pieces.h"
#include "server/store/postgres/pg_migrations.h"
#include "server/store/postgres/pg_pool.h"
#include "server/store/postgres/pg_report_search.h"
#include "server/store/postgres/pg_speed_tests.h"
#include "server/store/postgres/pg_staff_tables.h"
#include "server/store/postgres/postgres_store.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace lumresults {
namespace postgres {
namespace {

// Refuses a content file whose length differs from the report's size before anything is written, so
// that a bad upload does not even use up an id (a sequence, unlike SQLite's savepoint, keeps what a
// rolled back insert took). The copy checks the length again as it reads, for files that are no plain file.
void check_length(const NewReport& report) {
    if (report.size > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        throw StoreError(report.content.string() + ": a report of " + std::to_string(report.size) + " bytes");
    std::error_code error;
    if (!std::filesystem::is_regular_file(report.content, error)) return;
    const std::uintmax_t length = std::filesystem::file_size(report.content, error);
    if (!error && length != report.size)
        throw StoreError(report.content.string() + ": " + std::to_string(length) + " bytes, not the report's " +
                         std::to_string(report.size));
}

// Inserts the report's row; returns its id and the transaction's (for commit_outcome).
std::pair<std::int64_t, std::int64_t> insert_row(Session& session, const NewReport& report) {
    const Result inserted =
        session.run("INSERT INTO reports (caller, received_ms, file_name, content_type, size, sha256) "
                    "VALUES ($1, $2, $3, $4, $5, $6) RETURNING id, pg_current_xact_id()::text::bigint",
                    Params()
                        .text(report.caller)
                        .time(report.received)
                        .bytes(report.file_name)
                        .bytes(report.content_type)
                        .integer(static_cast<std::int64_t>(report.size))
                        .text(report.sha256),
                    "storing a report");
    return {integer_at(inserted.get(), 0, 0), integer_at(inserted.get(), 0, 1)};
}

// Copies exactly report.size bytes from the content file into the report's pieces (see read_in_pieces).
void copy_content(Session& session, std::int64_t id, std::istream& file, const NewReport& report) {
    read_in_pieces(file, report, content_piece, [&](std::string_view piece, std::uint64_t offset) {
        session.run("INSERT INTO report_content (report_id, piece, bytes) VALUES ($1, $2, $3)",
                    Params().integer(id).integer(static_cast<std::int64_t>(offset / content_piece)).bytes(piece),
                    "writing a report's bytes");
    });
}

class PostgresStore final : public Store {
public:
    PostgresStore(const std::string& url, std::size_t pool_size, std::chrono::milliseconds upload_patience)
        : pool_(url, pool_size), upload_patience_(upload_patience) {
        const Pool::Lease session = pool_.lease();
        migrate(*session);
    }

    std::int64_t put_report(const NewReport& report) override;
    std::optional<ReportInfo> find_report(std::int64_t id) override;
    bool read_report(std::int64_t id, const ByteSink& sink) override;
    std::vector<ReportInfo> list_reports(const ReportFilter& filter) override;
    void put_reading(std::int64_t id, const ReportReading& reading) override;
    std::optional<ReportReading> find_reading(std::int64_t id) override;
    std::vector<std::int64_t> reports_to_read(std::int32_t rules_version, std::int64_t after_id,
                                              std::size_t limit) override;

    std::vector<ReportSummary> search_reports(const ReportSearch& search) override {
        return on_session([&](Session& s) { return postgres::search_reports(s, search); });
    }
    std::size_t delete_reports_before(Clock::time_point before) override {
        return on_session([&](Session& s) { return postgres::delete_reports_before(s, before); });
    }

    bool add_user(const StaffUser& user) override {
        return on_session([&](Session& s) { return postgres::add_user(s, user); });
    }
    bool set_password(std::string_view name, std::string_view hash) override {
        return on_session([&](Session& s) { return postgres::set_password(s, name, hash); });
    }
    bool remove_user(std::string_view name) override {
        return on_session([&](Session& s) { return postgres::remove_user(s, name); });
    }
    std::optional<StaffUser> find_user(std::string_view name) override {
        return on_session([&](Session& s) { return postgres::find_user(s, name); });
    }
    std::vector<std::string> list_users() override {
        return on_session([&](Session& s) { return postgres::list_users(s); });
    }

    void put_session(const StaffSession& session) override {
        on_session([&](Session& s) { postgres::put_session(s, session); });
    }
    std::optional<StaffSession> find_session(std::string_view key) override {
        return on_session([&](Session& s) { return postgres::find_session(s, key); });
    }
    void touch_session(std::string_view key, Clock::time_point seen) override {
        on_session([&](Session& s) { postgres::touch_session(s, key, seen); });
    }
    void delete_session(std::string_view key) override {
        on_session([&](Session& s) { postgres::delete_session(s, key); });
    }
    std::size_t delete_sessions_idle_since(Clock::time_point before) override {
        return on_session([&](Session& s) { return postgres::delete_sessions_idle_since(s, before); });
    }

    void note_refused_sign_in(std::string_view user, std::string_view address, Clock::time_point time) override {
        on_session([&](Session& s) { postgres::note_refused_sign_in(s, user, address, time); });
    }
    std::size_t refused_sign_ins_of_user(std::string_view user, Clock::time_point since) override {
        return on_session([&](Session& s) { return postgres::refused_sign_ins_of_user(s, user, since); });
    }
    std::size_t refused_sign_ins_from(std::string_view address, Clock::time_point since) override {
        return on_session([&](Session& s) { return postgres::refused_sign_ins_from(s, address, since); });
    }
    void forget_refused_sign_ins_before(Clock::time_point before) override {
        on_session([&](Session& s) { postgres::forget_refused_sign_ins_before(s, before); });
    }

    void append_audit(const AuditEntry& entry) override {
        on_session([&](Session& s) { postgres::append_audit(s, entry); });
    }
    std::vector<AuditEntry> list_audit(std::size_t limit) override {
        return on_session([&](Session& s) { return postgres::list_audit(s, limit); });
    }

    bool add_token(std::string_view name, std::string_view hash) override {
        return on_session([&](Session& s) { return postgres::add_token(s, name, hash); });
    }
    bool remove_token(std::string_view name) override {
        return on_session([&](Session& s) { return postgres::remove_token(s, name); });
    }
    std::optional<std::string> token_name(std::string_view hash) override {
        return on_session([&](Session& s) { return postgres::token_name(s, hash); });
    }

    std::int64_t put_speed_test(const NewSpeedTest& test) override {
        return on_session([&](Session& s) { return postgres::put_speed_test(s, test); });
    }
    std::vector<SpeedTest> search_speed_tests(const SpeedTestSearch& search) override {
        return on_session([&](Session& s) { return postgres::search_speed_tests(s, search); });
    }
    std::size_t delete_speed_tests_before(Clock::time_point before) override {
        return on_session([&](Session& s) { return postgres::delete_speed_tests_before(s, before); });
    }

private:
    // An upload's last try: whether its COMMIT was sent, the report's id and its transaction's.
    struct Attempt {
        bool committing = false;
        std::int64_t id = 0;
        std::int64_t transaction = 0;
    };
    std::int64_t put_report_once(const NewReport& report, Attempt& attempt);
    std::string commit_outcome(std::int64_t transaction_id);

    // Runs a call on a session of its own, given back (or dropped, when found lost) after.
    template <typename Call> std::invoke_result_t<Call, Session&> on_session(Call call) {
        const Pool::Lease session = pool_.lease();
        return call(*session);
    }

    Pool pool_;
    const std::chrono::milliseconds upload_patience_;
};

// The program sends its report once and never again, so an upload that arrives while the database is
// restarting (or its connection is lost) waits for it, up to upload_patience, instead of being refused
// at once. Only a lost connection is tried again: nothing of the attempt was stored, unless its COMMIT was
// under way. Then the transaction's fate is asked of the database first (see commit_outcome), so that
// a report is never kept twice nor acknowledged without being kept.
std::int64_t PostgresStore::put_report(const NewReport& report) {
    check_length(report);
    const auto give_up = std::chrono::steady_clock::now() + upload_patience_;
    Attempt attempt;
    for (std::chrono::milliseconds pause(100);; pause = std::min(2 * pause, std::chrono::milliseconds(1000))) {
        try {
            if (attempt.committing) {
                const std::string outcome = commit_outcome(attempt.transaction);
                if (outcome == "committed") return attempt.id;
                if (outcome != "aborted")
                    throw StoreUnavailable("the commit of report " + std::to_string(attempt.id) + " is " + outcome);
                attempt = {}; // it was rolled back: storing the report again cannot make two
            }
            return put_report_once(report, attempt);
        } catch (const StoreUnavailable&) {
            if (std::chrono::steady_clock::now() + pause > give_up) throw;
        }
        std::this_thread::sleep_for(pause);
    }
}

std::int64_t PostgresStore::put_report_once(const NewReport& report, Attempt& attempt) {
    std::ifstream file(report.content, std::ios::binary);
    if (!file) throw StoreError(report.content.string() + ": cannot open the report's content");
    return on_session([&](Session& session) {
        // Row and bytes in one transaction: a failure anywhere rolls both back, nothing is half stored.
        Transaction transaction(session);
        const auto [id, transaction_id] = insert_row(session, report);
        copy_content(session, id, file, report);
        // Durable before acknowledged: with synchronous_commit on (every session sets it), COMMIT
        // returns only once the WAL holding the report is flushed to stable storage.
        attempt = {true, id, transaction_id};
        transaction.commit();
        return id;
    });
}

// "committed", "aborted" or "in progress": what the database says of a transaction whose COMMIT lost its
// connection. A server that crashed answers only after its recovery, which has settled every such
// transaction; one that still runs it says "in progress" until it has finished, and the upload waits.
std::string PostgresStore::commit_outcome(std::int64_t transaction_id) {
    return on_session([&](Session& session) {
        const Result status = session.run("SELECT pg_xact_status($1::text::xid8)", Params().integer(transaction_id),
                                          "asking whether a cut-off commit went through");
        return is_null(status.get(), 0, 0) ? std::string("forgotten") : bytes_at(status.get(), 0, 0);
    });
}

std::optional<ReportInfo> PostgresStore::find_report(std::int64_t id) {
    return on_session([&](Session& session) -> std::optional<ReportInfo> {
        const Result found =
            session.run(std::string(REPORT_INFO_COLUMNS) + " WHERE id = $1", Params().integer(id), "finding a report");
        if (PQntuples(found.get()) == 0) return std::nullopt;
        return info_at(found.get(), 0);
    });
}

bool PostgresStore::read_report(std::int64_t id, const ByteSink& sink) {
    return on_session([&](Session& session) {
        // One statement, so one snapshot: the row found is the row read. An empty report has no piece,
        // and comes as one row without bytes; no row at all means no such report.
        const std::size_t rows = session.for_each_row(
            "SELECT c.bytes FROM reports r LEFT JOIN report_content c ON c.report_id = r.id "
            "WHERE r.id = $1 ORDER BY c.piece",
            Params().integer(id), "reading a report's bytes", [&](const PGresult* row) {
                if (!is_null(row, 0, 0))
                    sink(std::string_view(PQgetvalue(row, 0, 0), static_cast<std::size_t>(PQgetlength(row, 0, 0))));
            });
        return rows > 0;
    });
}

std::vector<ReportInfo> PostgresStore::list_reports(const ReportFilter& filter) {
    // Only the conditions asked for appear, so that the planner picks the index that fits: (caller,
    // received) for one caller, (received) otherwise; both give newest first without sorting.
    std::string sql = REPORT_INFO_COLUMNS;
    if (filter.caller) sql += " WHERE caller = $1";
    if (filter.since) sql += filter.caller ? " AND received_ms >= $2" : " WHERE received_ms >= $2";
    sql += " ORDER BY received_ms DESC, id DESC LIMIT $3";
    Params params;
    filter.caller ? params.text(*filter.caller) : params.unused();
    filter.since ? params.time(*filter.since) : params.unused();
    params.integer(limit_of(filter.limit));
    return on_session([&](Session& session) {
        const Result found = session.run(sql, params, "listing reports");
        std::vector<ReportInfo> reports;
        for (int row = 0; row < PQntuples(found.get()); ++row)
            reports.push_back(info_at(found.get(), row));
        return reports;
    });
}

void PostgresStore::put_reading(std::int64_t id, const ReportReading& reading) {
    on_session([&](Session& session) {
        session.run("INSERT INTO report_readings (report_id, rules_version, finished, failed_tests, release, reading) "
                    "VALUES ($1, $2, $3, $4, $5, $6) ON CONFLICT (report_id) DO UPDATE SET "
                    "rules_version = excluded.rules_version, finished = excluded.finished, "
                    "failed_tests = excluded.failed_tests, release = excluded.release, reading = excluded.reading",
                    Params()
                        .integer(id)
                        .integer(reading.rules_version)
                        .boolean(reading.finished)
                        .integer(reading.failed_tests)
                        .bytes(reading.release)
                        .bytes(reading.json),
                    "keeping a report's reading");
    });
}

std::optional<ReportReading> PostgresStore::find_reading(std::int64_t id) {
    return on_session([&](Session& session) -> std::optional<ReportReading> {
        const Result found = session.run("SELECT rules_version, finished, failed_tests, release, reading "
                                         "FROM report_readings WHERE report_id = $1",
                                         Params().integer(id), "finding a report's reading");
        const PGresult* row = found.get();
        if (PQntuples(row) == 0) return std::nullopt;
        return ReportReading{static_cast<std::int32_t>(integer_at(row, 0, 0)), integer_at(row, 0, 1) != 0,
                             static_cast<std::uint32_t>(integer_at(row, 0, 2)), bytes_at(row, 0, 3),
                             bytes_at(row, 0, 4)};
    });
}

std::vector<std::int64_t> PostgresStore::reports_to_read(std::int32_t rules_version, std::int64_t after_id,
                                                         std::size_t limit) {
    return on_session([&](Session& session) {
        const Result found = session.run("SELECT r.id FROM reports r LEFT JOIN report_readings g ON g.report_id = r.id "
                                         "WHERE r.id > $1 AND (g.report_id IS NULL OR g.rules_version <> $2) "
                                         "ORDER BY r.id LIMIT $3",
                                         Params().integer(after_id).integer(rules_version).integer(limit_of(limit)),
                                         "finding reports to read");
        std::vector<std::int64_t> ids;
        for (int row = 0; row < PQntuples(found.get()); ++row)
            ids.push_back(integer_at(found.get(), row, 0));
        return ids;
    });
}

} // namespace

std::unique_ptr<Store> open_store(const std::string& url, std::size_t pool_size,
                                  std::chrono::milliseconds upload_patience) {
    return std::make_unique<PostgresStore>(url, pool_size, upload_patience);
}

} // namespace postgres

std::unique_ptr<Store> open_postgres_store(const std::string& url) {
    return postgres::open_store(url, postgres::default_pool_size);
}

} // namespace lumresults
