// server/store/sqlite/sqlite_store.cpp: the Store on one SQLite file: one writer, pooled readers, bytes in pieces.
//
// Threads: every write goes through one connection, used by one thread at a time: uploads arriving on
// many worker threads meet in a commit queue, whose leader writes all those waiting in one transaction
// and syncs once for them all (SQLite allows one writer per file anyway; other processes wait for its
// lock within the busy timeout). Each report has its own savepoint there, so that a bad one fails alone.
// Reads lease their own connections and, in WAL mode, see the last commit without waiting for the
// writer. Report bytes move in pieces of content_piece bytes through SQLite's incremental blob calls,
// never whole in memory.
#include "server/store/commit_queue.h"
#include "server/store/content_pieces.h"
#include "server/store/sqlite/connections.h"
#include "server/store/sqlite/migrations.h"
#include "server/store/sqlite/report_search.h"
#include "server/store/sqlite/sqlite_handles.h"
#include "server/store/sqlite/speed_tests.h"
#include "server/store/sqlite/staff_tables.h"
#include "server/store/store.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <limits>
#include <mutex>
#include <span>
#include <type_traits>
#include <string>
#include <vector>

namespace lumresults {
namespace {

using namespace sqlite;

constexpr std::size_t content_piece = 64 * 1024;
constexpr std::size_t readers_kept = 8;
// Inserts the report's row with room for its bytes (zeros for now); returns its id.
std::int64_t insert_row(sqlite3* db, const NewReport& report) {
    Statement insert = prepare(db, "INSERT INTO reports (caller, received_ms, file_name, content_type, size, sha256, "
                                   "content) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    sqlite3_stmt* statement = insert.get();
    // Reserved first: a size beyond SQLite's blob limit fails here, before it could be misread as a number.
    check(db, sqlite3_bind_zeroblob64(statement, 7, report.size), "making room for the report's bytes");
    bind_text(statement, 1, report.caller);
    bind_integer(statement, 2, to_unix_ms(report.received));
    bind_bytes(statement, 3, report.file_name);
    bind_bytes(statement, 4, report.content_type);
    bind_integer(statement, 5, static_cast<std::int64_t>(report.size));
    bind_text(statement, 6, report.sha256);
    step(db, statement);
    return sqlite3_last_insert_rowid(db);
}

Blob open_content(sqlite3* db, std::int64_t id, bool write) {
    sqlite3_blob* native = nullptr;
    const int rc = sqlite3_blob_open(db, "main", "reports", "content", id, write ? 1 : 0, &native);
    Blob blob(native);
    check(db, rc, "opening a report's bytes");
    return blob;
}

// Copies exactly report.size bytes from the content file into the new row (see read_in_pieces).
void copy_content(sqlite3* db, std::int64_t id, std::istream& file, const NewReport& report) {
    Blob blob = open_content(db, id, true);
    read_in_pieces(file, report, content_piece, [&](std::string_view piece, std::uint64_t offset) {
        // offset < size, which SQLite's blob limit (below 2 GiB) has bounded when the row was inserted.
        check(db,
              sqlite3_blob_write(blob.get(), piece.data(), static_cast<int>(piece.size()), static_cast<int>(offset)),
              "writing a report's bytes");
    });
    check(db, sqlite3_blob_close(blob.release()), "writing a report's bytes");
}

// Writes one report of a batch under its own savepoint: when its bytes are bad (or SQLite refuses its row)
// only this report is rolled back and marked failed, and the batch goes on with the next.
void write_one(sqlite3* db, PendingReport& pending) {
    exec(db, "SAVEPOINT report");
    try {
        pending.id = insert_row(db, pending.report);
        copy_content(db, pending.id, pending.content, pending.report);
        exec(db, "RELEASE report");
    } catch (const std::exception& error) {
        pending.failed = true;
        pending.error = error.what();
        // After some errors (a full disk, I/O, no memory) SQLite has rolled back the whole transaction
        // by itself: then the savepoint is gone, this throws, and the whole batch fails, as it must.
        exec(db, "ROLLBACK TO report");
        exec(db, "RELEASE report");
    }
}

// The commit queue's writer: the batch in one transaction, one COMMIT, one sync.
void write_batch(sqlite3* db, std::span<PendingReport* const> batch) {
    // Should COMMIT fail, the transaction's destructor rolls everything back and the queue fails every
    // report of the batch: none of them is stored, none of their callers is told otherwise.
    Transaction transaction(db, "BEGIN IMMEDIATE");
    for (PendingReport* pending : batch)
        write_one(db, *pending);
    // Durable before acknowledged: with synchronous=FULL (open_store_connection) this COMMIT returns only
    // once the WAL holding the batch is on stable storage; the queue releases the batch's callers after it.
    transaction.commit();
}

class SqliteStore final : public Store {
public:
    explicit SqliteStore(const std::filesystem::path& file)
        : writer_(open_store_connection(file, Role::writer)), side_writer_(open_store_connection(file, Role::writer)),
          readers_(file, readers_kept),
          commits_([this](std::span<PendingReport* const> batch) { write_batch(writer_.get(), batch); }) {
        migrate(writer_.get());
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
        return sqlite::search_reports(readers_.lease().get(), search);
    }
    std::size_t delete_reports_before(Clock::time_point before) override {
        return on_side_writer([&](sqlite3* db) { return sqlite::delete_reports_before(db, before); });
    }

    bool add_user(const StaffUser& user) override {
        return on_side_writer([&](sqlite3* db) { return sqlite::add_user(db, user); });
    }
    bool set_password(std::string_view name, std::string_view hash) override {
        return on_side_writer([&](sqlite3* db) { return sqlite::set_password(db, name, hash); });
    }
    bool remove_user(std::string_view name) override {
        return on_side_writer([&](sqlite3* db) { return sqlite::remove_user(db, name); });
    }
    std::optional<StaffUser> find_user(std::string_view name) override {
        return sqlite::find_user(readers_.lease().get(), name);
    }
    std::vector<std::string> list_users() override { return sqlite::list_users(readers_.lease().get()); }

    void put_session(const StaffSession& session) override {
        on_side_writer([&](sqlite3* db) { sqlite::put_session(db, session); });
    }
    std::optional<StaffSession> find_session(std::string_view key) override {
        return sqlite::find_session(readers_.lease().get(), key);
    }
    void touch_session(std::string_view key, Clock::time_point seen) override {
        on_side_writer([&](sqlite3* db) { sqlite::touch_session(db, key, seen); });
    }
    void delete_session(std::string_view key) override {
        on_side_writer([&](sqlite3* db) { sqlite::delete_session(db, key); });
    }
    std::size_t delete_sessions_idle_since(Clock::time_point before) override {
        return on_side_writer([&](sqlite3* db) { return sqlite::delete_sessions_idle_since(db, before); });
    }

    void note_refused_sign_in(std::string_view user, std::string_view address, Clock::time_point time) override {
        on_side_writer([&](sqlite3* db) { sqlite::note_refused_sign_in(db, user, address, time); });
    }
    std::size_t refused_sign_ins_of_user(std::string_view user, Clock::time_point since) override {
        return sqlite::refused_sign_ins_of_user(readers_.lease().get(), user, since);
    }
    std::size_t refused_sign_ins_from(std::string_view address, Clock::time_point since) override {
        return sqlite::refused_sign_ins_from(readers_.lease().get(), address, since);
    }
    void forget_refused_sign_ins_before(Clock::time_point before) override {
        on_side_writer([&](sqlite3* db) { sqlite::forget_refused_sign_ins_before(db, before); });
    }

    void append_audit(const AuditEntry& entry) override {
        on_side_writer([&](sqlite3* db) { sqlite::append_audit(db, entry); });
    }
    std::vector<AuditEntry> list_audit(std::size_t limit) override {
        return sqlite::list_audit(readers_.lease().get(), limit);
    }

    bool add_token(std::string_view name, std::string_view hash) override {
        return on_side_writer([&](sqlite3* db) { return sqlite::add_token(db, name, hash); });
    }
    bool remove_token(std::string_view name) override {
        return on_side_writer([&](sqlite3* db) { return sqlite::remove_token(db, name); });
    }
    std::optional<std::string> token_name(std::string_view hash) override {
        return sqlite::token_name(readers_.lease().get(), hash);
    }

    // Never waited for by a report upload; durable when it returns (see speed_tests.cpp).
    std::int64_t put_speed_test(const NewSpeedTest& test) override {
        return on_side_writer([&](sqlite3* db) { return sqlite::put_speed_test(db, test); });
    }
    std::vector<SpeedTest> search_speed_tests(const SpeedTestSearch& search) override {
        return sqlite::search_speed_tests(readers_.lease().get(), search);
    }
    std::size_t delete_speed_tests_before(Clock::time_point before) override {
        return on_side_writer([&](sqlite3* db) { return sqlite::delete_speed_tests_before(db, before); });
    }

private:
    // Runs a write that is not an upload on the side writer, one thread at a time.
    template <typename Write> std::invoke_result_t<Write, sqlite3*> on_side_writer(Write write) {
        const std::lock_guard lock(side_mutex_);
        return write(side_writer_.get());
    }

    Connection writer_; // used only by the commit queue's leader of the moment (and by migrate before it)
    // Every other write (readings, which are derived, staff and sessions, retention) is never waited for by
    // an upload: a connection of its own, which takes the file's write lock in turn with the commit queue's
    // (SQLite's busy time-out lets each wait).
    std::mutex side_mutex_;
    Connection side_writer_;
    ReaderPool readers_;
    CommitQueue commits_;
};

std::int64_t SqliteStore::put_report(const NewReport& report) {
    std::ifstream file(report.content, std::ios::binary);
    if (!file) throw StoreError(report.content.string() + ": cannot open the report's content");
    // Row and bytes under one savepoint of a batch's transaction: a failure anywhere rolls both back,
    // nothing is half stored. Returns once that transaction's COMMIT is durable (see write_batch).
    PendingReport pending(report, file);
    return commits_.put(pending);
}

std::optional<ReportInfo> SqliteStore::find_report(std::int64_t id) {
    const ReaderPool::Lease reader = readers_.lease();
    Statement query = prepare(reader.get(), std::string(REPORT_INFO_COLUMNS) + " WHERE id = ?1");
    bind_integer(query.get(), 1, id);
    if (!step(reader.get(), query.get())) return std::nullopt;
    return info_at(query.get());
}

bool SqliteStore::read_report(std::int64_t id, const ByteSink& sink) {
    const ReaderPool::Lease reader = readers_.lease();
    sqlite3* db = reader.get();
    // One read transaction, so that the row found is the row read. It holds its snapshot while the sink
    // works (a slow client too): the WAL cannot be reset past it until then, which costs only disk.
    Transaction transaction(db, "BEGIN");
    Statement exists = prepare(db, "SELECT 1 FROM reports WHERE id = ?1");
    bind_integer(exists.get(), 1, id);
    if (!step(db, exists.get())) return false;
    Blob blob = open_content(db, id, false);
    std::vector<char> buffer(content_piece);
    const int size = sqlite3_blob_bytes(blob.get());
    for (int done = 0; done < size;) {
        const int piece = std::min(static_cast<int>(content_piece), size - done);
        check(db, sqlite3_blob_read(blob.get(), buffer.data(), piece, done), "reading a report's bytes");
        sink(std::string_view(buffer.data(), static_cast<std::size_t>(piece)));
        done += piece;
    }
    blob.reset();
    transaction.commit();
    return true;
}

std::vector<ReportInfo> SqliteStore::list_reports(const ReportFilter& filter) {
    // Only the conditions asked for appear, so that SQLite picks the index that fits: (caller, received)
    // for one caller, (received) otherwise; both give newest first without sorting.
    std::string sql = REPORT_INFO_COLUMNS;
    if (filter.caller) sql += " WHERE caller = ?1";
    if (filter.since) sql += filter.caller ? " AND received_ms >= ?2" : " WHERE received_ms >= ?2";
    sql += " ORDER BY received_ms DESC, id DESC LIMIT ?3";
    const ReaderPool::Lease reader = readers_.lease();
    Statement query = prepare(reader.get(), sql);
    if (filter.caller) bind_text(query.get(), 1, *filter.caller);
    if (filter.since) bind_integer(query.get(), 2, to_unix_ms(*filter.since));
    const std::uint64_t most = std::numeric_limits<std::int64_t>::max();
    bind_integer(query.get(), 3, static_cast<std::int64_t>(std::min<std::uint64_t>(filter.limit, most)));
    std::vector<ReportInfo> reports;
    while (step(reader.get(), query.get()))
        reports.push_back(info_at(query.get()));
    return reports;
}

void SqliteStore::put_reading(std::int64_t id, const ReportReading& reading) {
    const std::lock_guard lock(side_mutex_);
    sqlite3* db = side_writer_.get();
    Statement insert = prepare(db, "INSERT OR REPLACE INTO report_readings (report_id, rules_version, finished, "
                                   "failed_tests, release, reading) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    bind_integer(insert.get(), 1, id);
    bind_integer(insert.get(), 2, reading.rules_version);
    bind_integer(insert.get(), 3, reading.finished ? 1 : 0);
    bind_integer(insert.get(), 4, reading.failed_tests);
    bind_bytes(insert.get(), 5, reading.release);
    bind_text(insert.get(), 6, reading.json);
    step(db, insert.get());
}

std::optional<ReportReading> SqliteStore::find_reading(std::int64_t id) {
    const ReaderPool::Lease reader = readers_.lease();
    Statement query = prepare(reader.get(), "SELECT rules_version, finished, failed_tests, release, reading "
                                            "FROM report_readings WHERE report_id = ?1");
    bind_integer(query.get(), 1, id);
    if (!step(reader.get(), query.get())) return std::nullopt;
    ReportReading reading;
    reading.rules_version = static_cast<std::int32_t>(sqlite3_column_int64(query.get(), 0));
    reading.finished = sqlite3_column_int64(query.get(), 1) != 0;
    reading.failed_tests = static_cast<std::uint32_t>(sqlite3_column_int64(query.get(), 2));
    reading.release = column_bytes(query.get(), 3);
    reading.json = column_bytes(query.get(), 4);
    return reading;
}

std::vector<std::int64_t> SqliteStore::reports_to_read(std::int32_t rules_version, std::int64_t after_id,
                                                       std::size_t limit) {
    const ReaderPool::Lease reader = readers_.lease();
    Statement query =
        prepare(reader.get(), "SELECT r.id FROM reports r LEFT JOIN report_readings g ON g.report_id = r.id "
                              "WHERE r.id > ?1 AND (g.report_id IS NULL OR g.rules_version <> ?2) "
                              "ORDER BY r.id LIMIT ?3");
    bind_integer(query.get(), 1, after_id);
    bind_integer(query.get(), 2, rules_version);
    bind_integer(query.get(), 3, static_cast<std::int64_t>(std::min<std::size_t>(limit, INT64_MAX)));
    std::vector<std::int64_t> ids;
    while (step(reader.get(), query.get()))
        ids.push_back(sqlite3_column_int64(query.get(), 0));
    return ids;
}

} // namespace

std::unique_ptr<Store> open_sqlite_store(const std::filesystem::path& data_dir) {
    if (sqlite3_threadsafe() == 0) throw StoreError("this SQLite library was built without thread support");
    std::error_code error;
    std::filesystem::create_directories(data_dir, error);
    if (error) throw StoreError(data_dir.string() + ": cannot create the data folder: " + error.message());
    return std::make_unique<SqliteStore>(store_file(data_dir));
}

} // namespace lumresults
