// server/store/sqlite/sqlite_session.h: the store's statements on one SQLite connection.
#pragma once

#include "server/store/sql/database.h"
#include "server/store/sqlite/sqlite_handles.h"

#include <string>
#include <unordered_map>
#include <utility>

namespace lumresults::sqlite {

// Statements prepared on one connection and kept for its next use of the same text: compiling an upsert of
// many columns costs more than running it. Used by one thread at a time, as its connection.
class StatementCache {
public:
    // The statement for `sql` (in SQLite's spelling), ready to bind; reset it before it is used again.
    sqlite3_stmt* get(sqlite3* db, const std::string& sql);

private:
    // Distinct texts kept at most: the searches' texts vary with their conditions, so the cache starts
    // again when full rather than grow without end.
    static constexpr std::size_t most = 64;
    std::unordered_map<std::string, Statement> statements_;
};

// Statements come with $n markers, which SQLite spells ?n, and may close with a row lock, which it leaves
// out (see sql::Session); truth values are kept as 0 and 1. With a cache, statements are taken from it and
// left there, reset, for the next session on the same connection.
class Session final : public sql::Session {
public:
    explicit Session(sqlite3* db, StatementCache* cache = nullptr) : db_(db), cache_(cache) {}

    std::size_t query(std::string_view sql, const sql::Params& params, std::string_view doing,
                      const sql::RowHandler& row) override;
    std::size_t execute(std::string_view sql, const sql::Params& params, std::string_view doing) override;

private:
    // A statement bound to its parameters, for as long as one query or execute runs: the session's own, or
    // one lent by the cache and reset when done, so that it holds no read of the database open.
    class Bound {
    public:
        Bound(Statement owned, sqlite3_stmt* lent) : owned_(std::move(owned)), lent_(lent) {}
        ~Bound();
        Bound(Bound&& other) noexcept : owned_(std::move(other.owned_)), lent_(std::exchange(other.lent_, nullptr)) {}
        Bound& operator=(Bound&&) = delete;

        sqlite3_stmt* get() const { return lent_ != nullptr ? lent_ : owned_.get(); }

    private:
        Statement owned_;
        sqlite3_stmt* lent_;
    };

    Bound prepared(std::string_view sql, const sql::Params& params);

    sqlite3* db_;
    StatementCache* cache_;
};

} // namespace lumresults::sqlite
