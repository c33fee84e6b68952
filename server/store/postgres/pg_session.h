// server/store/postgres/pg_session.h: one connection to PostgreSQL with the statements it has prepared.
#pragma once

#include "server/store/postgres/pg_handles.h"
#include "server/store/sql/database.h"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace lumresults::postgres {

// A connection as the store uses it: set up alike (durable commits), each statement text prepared on it
// once, at its first use, and run by name after that. Used by one thread at a time.
class Session final : public sql::Session {
public:
    // Connects; where names the database in errors (host and database only, never a password).
    Session(const std::string& url, std::string where);
    // Not moved: libpq's notice receiver holds its address.
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Runs a statement and returns its whole result (in binary). Throws StoreError.
    Result run(std::string_view sql, const Params& params, std::string_view doing);
    // The store's statements (see sql::Session), their parameters sent in binary as run() sends them.
    std::size_t query(std::string_view sql, const sql::Params& params, std::string_view doing,
                      const sql::RowHandler& row) override;
    std::size_t execute(std::string_view sql, const sql::Params& params, std::string_view doing) override;
    // Runs statements without parameters or rows: BEGIN, COMMIT, a schema step. Throws StoreError.
    void exec(const char* sql, std::string_view doing);
    // Runs a query whose rows come one at a time to `row` (libpq's single-row mode), so that a large
    // result is never whole in memory; returns how many came. What `row` throws passes through, and the
    // session is then no longer usable (the rest of the result is still on its way).
    std::size_t for_each_row(std::string_view sql, const Params& params, std::string_view doing,
                             const std::function<void(const PGresult* row)>& row);

    // False once the connection is lost or left inside a transaction or a query: the pool drops it.
    bool usable() const;
    // Reads what the server sent meanwhile, so that a connection the server has closed shows as unusable.
    bool still_connected();

    PGconn* native() const { return connection_.get(); }
    const std::string& where() const { return where_; }

private:
    static void receive_notice(void* self, const PGresult* notice);
    const std::string& prepared(std::string_view sql, const Params& params, std::string_view doing);

    Connection connection_;
    std::string where_;
    std::unordered_map<std::string, std::string> statements_; // SQL text -> prepared statement's name
    bool interrupted_ = false;                                // a row handler threw in the middle of a result
    bool ended_ = false; // the server said it ends the session (a FATAL error between calls)
};

// A transaction rolled back unless committed, so that any throw on the way leaves nothing behind.
class Transaction {
public:
    explicit Transaction(Session& session);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Returns once the commit is durable (synchronous_commit is on in every session).
    void commit();

private:
    Session& session_;
    bool open_ = true;
};

} // namespace lumresults::postgres
