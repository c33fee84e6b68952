// server/store/sqlite/sqlite_handles.cpp: opening, running and reading SQLite statements, every failure a StoreError.
#include "server/store/sqlite/sqlite_handles.h"

#include "server/store/store.h"

namespace lumresults::sqlite {

void fail(sqlite3* db, std::string_view doing) {
    const char* file = db != nullptr ? sqlite3_db_filename(db, "main") : nullptr;
    std::string text = file != nullptr && *file != '\0' ? std::string(file) : std::string("SQLite store");
    text.append(": ").append(doing).append(": ");
    text.append(db != nullptr ? sqlite3_errmsg(db) : "out of memory");
    throw StoreError(text);
}

void check(sqlite3* db, int rc, std::string_view doing) {
    if (rc != SQLITE_OK) fail(db, doing);
}

Connection open_connection(const std::filesystem::path& file) {
    sqlite3* native = nullptr;
    // NOMUTEX: SQLite's own lock per call is not needed, since each connection is used by one thread at a
    // time (the writer behind the store's mutex, readers leased from the pool).
    const int rc = sqlite3_open_v2(file.c_str(), &native,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    Connection connection(native); // sqlite3_open_v2 hands out a handle even when it fails: free it too
    if (rc != SQLITE_OK) {
        if (native == nullptr) fail(nullptr, "opening");
        throw StoreError(file.string() + ": opening: " + sqlite3_errmsg(native));
    }
    sqlite3_extended_result_codes(native, 1);
    return connection;
}

void exec(sqlite3* db, const char* sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    sqlite3_free(message); // sqlite3_errmsg() says the same
    check(db, rc, sql);
}

Statement prepare(sqlite3* db, std::string_view sql) {
    sqlite3_stmt* native = nullptr;
    check(db, sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &native, nullptr), sql);
    return Statement(native);
}

bool step(sqlite3* db, sqlite3_stmt* statement) {
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    fail(db, sqlite3_sql(statement));
}

void bind_bytes(sqlite3_stmt* statement, int index, std::string_view bytes) {
    // A non-null pointer even for no bytes: a null one would store NULL instead of an empty blob.
    const char* data = bytes.data() != nullptr ? bytes.data() : "";
    check(sqlite3_db_handle(statement), sqlite3_bind_blob64(statement, index, data, bytes.size(), SQLITE_TRANSIENT),
          "binding");
}

void bind_integer(sqlite3_stmt* statement, int index, std::int64_t value) {
    check(sqlite3_db_handle(statement), sqlite3_bind_int64(statement, index, value), "binding");
}

void bind_text(sqlite3_stmt* statement, int index, std::string_view text) {
    const char* data = text.data() != nullptr ? text.data() : "";
    check(sqlite3_db_handle(statement),
          sqlite3_bind_text64(statement, index, data, text.size(), SQLITE_TRANSIENT, SQLITE_UTF8), "binding");
}

std::string column_bytes(sqlite3_stmt* statement, int column) {
    const void* data = sqlite3_column_blob(statement, column);
    const int size = sqlite3_column_bytes(statement, column); // after column_blob, as SQLite asks
    if (data == nullptr) return {};
    return std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

std::int64_t query_integer(sqlite3* db, const char* sql) {
    Statement statement = prepare(db, sql);
    if (!step(db, statement.get())) fail(db, std::string(sql) + " answered no row");
    return sqlite3_column_int64(statement.get(), 0);
}

Transaction::Transaction(sqlite3* db, const char* begin) : db_(db) { exec(db, begin); }

Transaction::~Transaction() {
    // SQLite may already have rolled back by itself (after I/O errors, a full disk, ...): then the
    // statement only says there is no transaction, which is what is wanted.
    if (open_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit() {
    exec(db_, "COMMIT");
    open_ = false;
}

} // namespace lumresults::sqlite
