// server/store/sqlite/connections.h: the store's connections, set up alike, and the pool that readers lease.
#pragma once

#include "server/store/sqlite/sqlite_handles.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <vector>

namespace lumresults::sqlite {

enum class Role { writer, reader };

// The database file of the store kept in data_dir.
std::filesystem::path store_file(const std::filesystem::path& data_dir);

// Opens a connection to the store's database with the settings every connection needs; the writer also
// puts the database in WAL mode (which the file keeps), so readers never wait for it.
Connection open_store_connection(const std::filesystem::path& file, Role role);

// The WAL file's size kept after a checkpoint; a larger one is cut back to it (see open_store_connection).
inline constexpr std::uint64_t WAL_BYTES_KEPT = 4 * 1024 * 1024;

// Checkpoints the WAL and empties its file at once when nobody else is reading or writing; otherwise does
// nothing, and the next write that restarts the WAL cuts its file back to WAL_BYTES_KEPT.
void empty_wal_if_idle(sqlite3* db);

// Reader connections, opened when needed and kept for the next read, so that reads neither share the
// writer's mutex nor pay for opening a connection each time.
class ReaderPool {
public:
    // A connection lent to one thread; it goes back to the pool with the lease.
    class Lease {
    public:
        Lease(ReaderPool& pool, Connection connection) : pool_(pool), connection_(std::move(connection)) {}
        ~Lease() { pool_.give_back(std::move(connection_)); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

        sqlite3* get() const { return connection_.get(); }

    private:
        ReaderPool& pool_;
        Connection connection_;
    };

    ReaderPool(std::filesystem::path file, std::size_t keep);

    Lease lease();

private:
    void give_back(Connection connection);

    const std::filesystem::path file_;
    const std::size_t keep_; // idle connections kept at most; more are opened under load, then closed
    std::mutex mutex_;
    std::vector<Connection> idle_;
};

} // namespace lumresults::sqlite
