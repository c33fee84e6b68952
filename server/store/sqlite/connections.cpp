// server/store/sqlite/connections.cpp: how the store's connections are set up, and the readers' pool.
#include "server/store/sqlite/connections.h"

#include "server/store/store.h"

#include <chrono>
#include <string>
#include <thread>

namespace lumresults::sqlite {

std::filesystem::path store_file(const std::filesystem::path& data_dir) { return data_dir / "lumresults.sqlite3"; }
namespace {

// The command line reads while the server writes, and several instances may write to one file: a
// connection that finds the database locked waits this long before it gives up.
constexpr int busy_timeout_ms = 10'000;

// Switching a new database to WAL reads the file and then needs its write lock. Should another
// connection hold that lock, SQLite refuses at once instead of waiting (SQLITE_BUSY without calling the
// busy handler, since a reader waiting for a writer that waits for that reader would deadlock), so the
// switch is tried again for as long as the busy timeout would have waited.
void use_wal(sqlite3* db, const std::filesystem::path& file) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(busy_timeout_ms);
    for (;;) {
        Statement statement = prepare(db, "PRAGMA journal_mode = WAL");
        const int rc = sqlite3_step(statement.get());
        if (rc == SQLITE_ROW) {
            // SQLite answers with the mode it kept when it cannot use WAL (on some network file systems).
            const std::string mode = column_bytes(statement.get(), 0);
            if (mode != "wal")
                throw StoreError(file.string() + ": cannot use WAL mode (the journal mode is \"" + mode + "\")");
            return;
        }
        if ((rc & 0xFF) != SQLITE_BUSY || std::chrono::steady_clock::now() > deadline)
            fail(db, "switching to WAL mode");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

Connection open_store_connection(const std::filesystem::path& file, Role role) {
    Connection connection = open_connection(file);
    sqlite3* db = connection.get();
    check(db, sqlite3_busy_timeout(db, busy_timeout_ms), "setting the busy timeout");
    if (role == Role::writer) {
        use_wal(db, file);
        // The WAL file is reused after a checkpoint, never shrunk, so one large report would leave a copy of
        // itself there, as large as the report, for as long as the server runs. A writer that restarts the
        // WAL after a checkpoint cuts the file back to this size once its transaction commits.
        exec(db, ("PRAGMA journal_size_limit = " + std::to_string(WAL_BYTES_KEPT)).c_str());
    }
    // Durable before acknowledged: in WAL mode with synchronous=FULL, COMMIT returns only after the WAL
    // holding the transaction has been synced to stable storage, so a report whose put_report returned
    // survives a crash or a power cut. NORMAL would sync only at checkpoints and could lose the last
    // commits, which the program never sends again.
    exec(db, "PRAGMA synchronous = FULL");
    exec(db, "PRAGMA foreign_keys = ON");
    // A reader that tried to write would take the write lock behind the writer's back.
    if (role == Role::reader) exec(db, "PRAGMA query_only = ON");
    return connection;
}

void empty_wal_if_idle(sqlite3* db) {
    // Without waiting: a reader may hold its snapshot for as long as a slow client takes to read a report.
    // Busy, the WAL stays as it is for now; any other failure shows at the next statement that writes.
    sqlite3_busy_timeout(db, 0);
    sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    sqlite3_busy_timeout(db, busy_timeout_ms);
}

ReaderPool::ReaderPool(std::filesystem::path file, std::size_t keep) : file_(std::move(file)), keep_(keep) {
    idle_.reserve(keep_); // so that giving a connection back, which a destructor does, never allocates
}

ReaderPool::Lease ReaderPool::lease() {
    {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            Connection connection = std::move(idle_.back());
            idle_.pop_back();
            return Lease(*this, std::move(connection));
        }
    }
    return Lease(*this, open_store_connection(file_, Role::reader));
}

void ReaderPool::give_back(Connection connection) {
    // A connection still inside a transaction (its rollback failed) would show the next reader an old
    // snapshot: close it instead of keeping it.
    if (!connection || sqlite3_get_autocommit(connection.get()) == 0) return;
    std::lock_guard lock(mutex_);
    if (idle_.size() < keep_) idle_.push_back(std::move(connection));
}

} // namespace lumresults::sqlite
