// server/store/sqlite/sqlite_database.cpp: the store's database on one SQLite file: one writer, pooled readers, bytes
// in pieces.
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
#include "server/store/sql/open_database.h"
#include "server/store/sql/sql_store.h"
#include "server/store/sqlite/connections.h"
#include "server/store/sqlite/migrations.h"
#include "server/store/sqlite/sqlite_handles.h"
#include "server/store/sqlite/sqlite_session.h"
#include "server/store/store.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <span>
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
    // The commit's automatic checkpoint has copied the batch into the database; a WAL file as large as the
    // batch would hold a second copy of its reports until the next write.
    std::uint64_t bytes = 0;
    for (const PendingReport* pending : batch)
        bytes += pending->report.size;
    if (bytes > WAL_BYTES_KEPT) empty_wal_if_idle(db);
}

class SqliteDatabase final : public sql::Database {
public:
    explicit SqliteDatabase(const std::filesystem::path& file)
        : writer_(open_store_connection(file, sqlite::Role::writer)),
          side_writer_(open_store_connection(file, sqlite::Role::writer)), readers_(file, readers_kept),
          commits_([this](std::span<PendingReport* const> batch) {
              const std::lock_guard lock(writing_);
              write_batch(writer_.get(), batch);
          }) {
        migrate(writer_.get());
    }

    void read(const std::function<void(sql::Session&)>& work) override {
        const ReaderPool::Lease reader = readers_.lease();
        Session session(reader.get());
        work(session);
    }
    void write(const std::function<void(sql::Session&)>& work) override {
        const std::lock_guard lock(writing_);
        Session session(side_writer_.get(), &side_statements_);
        work(session);
    }
    void transaction(const std::function<void(sql::Session&)>& work) override {
        const std::lock_guard lock(writing_);
        Transaction transaction(side_writer_.get(), "BEGIN IMMEDIATE");
        Session session(side_writer_.get(), &side_statements_);
        work(session);
        transaction.commit();
    }

    std::int64_t put_report(const NewReport& report) override;
    bool read_report(std::int64_t id, const ByteSink& sink) override;

private:
    Connection writer_; // used only by the commit queue's leader of the moment (and by migrate before it)
    // Every other write (readings, which are derived, staff and sessions, speed tests, retention) is never
    // part of an upload's commit: a connection of its own. With synchronous=FULL each of its statements is
    // on stable storage when it returns.
    Connection side_writer_;
    StatementCache side_statements_; // declared after its connection, so that it is finalized first
    // Held by whichever of the two connections writes. SQLite lets one connection write at a time, and one
    // that finds the file locked sleeps in its busy handler, by steps of up to 100 ms, however soon the lock
    // is free again; between this process's own connections a mutex hands the turn over at once. (Other
    // processes, such as the command line, still meet the busy time-out.)
    std::mutex writing_;
    ReaderPool readers_;
    CommitQueue commits_;
};

std::int64_t SqliteDatabase::put_report(const NewReport& report) {
    std::ifstream file(report.content, std::ios::binary);
    if (!file) throw StoreError(report.content.string() + ": cannot open the report's content");
    // Row and bytes under one savepoint of a batch's transaction: a failure anywhere rolls both back,
    // nothing is half stored. Returns once that transaction's COMMIT is durable (see write_batch).
    PendingReport pending(report, file);
    return commits_.put(pending);
}

bool SqliteDatabase::read_report(std::int64_t id, const ByteSink& sink) {
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

} // namespace

std::unique_ptr<sql::Database> sql::open_sqlite_database(const std::filesystem::path& data_dir) {
    if (sqlite3_threadsafe() == 0) throw StoreError("this SQLite library was built without thread support");
    std::error_code error;
    std::filesystem::create_directories(data_dir, error);
    if (error) throw StoreError(data_dir.string() + ": cannot create the data folder: " + error.message());
    return std::make_unique<SqliteDatabase>(store_file(data_dir));
}

std::unique_ptr<Store> open_sqlite_store(const std::filesystem::path& data_dir) {
    return sql::make_store(sql::open_sqlite_database(data_dir));
}

} // namespace lumresults
