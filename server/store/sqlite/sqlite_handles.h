// server/store/sqlite/sqlite_handles.h: owners of SQLite connections, statements and blobs, and calls on them.
#pragma once

#include "runtime/common/unique_resource.h"
#include "server/store/unix_ms.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace lumresults::sqlite {

struct ConnectionKind {
    using Native = sqlite3*;
    static Native none() { return nullptr; }
    static bool holds(Native native) { return native != nullptr; }
    // close_v2, so that a connection freed before a forgotten statement is closed once that goes too.
    static void free(Native native) { sqlite3_close_v2(native); }
};
struct StatementKind {
    using Native = sqlite3_stmt*;
    static Native none() { return nullptr; }
    static bool holds(Native native) { return native != nullptr; }
    static void free(Native native) { sqlite3_finalize(native); }
};
struct BlobKind {
    using Native = sqlite3_blob*;
    static Native none() { return nullptr; }
    static bool holds(Native native) { return native != nullptr; }
    static void free(Native native) { sqlite3_blob_close(native); }
};

using Connection = lum::UniqueResource<ConnectionKind>;
using Statement = lum::UniqueResource<StatementKind>;
using Blob = lum::UniqueResource<BlobKind>;

// Throws StoreError naming the database file, what was being done and SQLite's own words.
[[noreturn]] void fail(sqlite3* db, std::string_view doing);
// Throws as fail() unless rc is SQLITE_OK.
void check(sqlite3* db, int rc, std::string_view doing);

// Opens (creating when needed) the database file; extended result codes on.
Connection open_connection(const std::filesystem::path& file);
// Runs statements that return no rows.
void exec(sqlite3* db, const char* sql);
Statement prepare(sqlite3* db, std::string_view sql);
// One step of a statement: true for a row, false when done; throws on anything else.
bool step(sqlite3* db, sqlite3_stmt* statement);

// Binds bytes as a blob, so that they are kept exactly, whatever their encoding.
void bind_bytes(sqlite3_stmt* statement, int index, std::string_view bytes);
void bind_integer(sqlite3_stmt* statement, int index, std::int64_t value);
void bind_text(sqlite3_stmt* statement, int index, std::string_view text);
// A column's bytes (blob or text) as stored; empty for NULL.
std::string column_bytes(sqlite3_stmt* statement, int column);

// The single integer a query such as "PRAGMA user_version" answers.
std::int64_t query_integer(sqlite3* db, const char* sql);

// A transaction that is rolled back unless committed, so that any throw on the way leaves nothing behind.
class Transaction {
public:
    // begin: "BEGIN IMMEDIATE" to write (the write lock is taken at once, waiting for other writers
    // within the busy timeout, instead of failing at the first write), "BEGIN" for a consistent read.
    Transaction(sqlite3* db, const char* begin);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    sqlite3* db_;
    bool open_ = true;
};

} // namespace lumresults::sqlite
