// server/store/sql/database.h: what a back end gives the store's statements: sessions to run them on, and
// what truly differs between back ends (how a report's bytes are kept and committed).
#pragma once

#include "server/store/sql/sql_params.h"
#include "server/store/store.h"

#include <functional>
#include <string_view>
#include <type_traits>

namespace lumresults::sql {

using RowHandler = std::function<void(const Row& row)>;

// One connection as the statements use it, by one thread at a time. Statements are written with $n markers.
// A query that ends in FOR UPDATE, within transaction(), holds the rows it returns until the transaction
// ends: where the back end has row locks, another transaction that asks for them waits; where it lets
// only one writer in at a time (SQLite), that one holds them already. A LOCK TABLE statement is the same:
// where the back end has table locks it waits for them, where it has one writer it does nothing.
class Session {
public:
    virtual ~Session() = default;
    // Runs a statement and hands each row it returns to `row`; returns how many came. Throws StoreError,
    // naming what was being done.
    virtual std::size_t query(std::string_view sql, const Params& params, std::string_view doing,
                              const RowHandler& row) = 0;
    // Runs a statement that writes; returns how many rows it changed.
    virtual std::size_t execute(std::string_view sql, const Params& params, std::string_view doing) = 0;
};

// A store's database. Every statement of the store runs through read() or write(), so that a test can see
// them all (and count them) by wrapping a Database.
class Database {
public:
    virtual ~Database() = default;

    // Runs `work` on a session that reads what is committed.
    virtual void read(const std::function<void(Session&)>& work) = 0;
    // Runs `work` on a session that writes, each statement committing by itself, never waited for by an
    // upload; one writer at a time where the back end allows only one.
    virtual void write(const std::function<void(Session&)>& work) = 0;
    // The same in one transaction: all of `work`'s statements or none. Throws StoreError.
    virtual void transaction(const std::function<void(Session&)>& work) = 0;

    // The content and the commit path, which each back end keeps its own way (see ReportStore).
    virtual std::int64_t put_report(const NewReport& report) = 0;
    virtual bool read_report(std::int64_t id, const ByteSink& sink) = 0;
};

// read() and write() with a result.
template <typename Work> auto read_with(Database& database, Work work) {
    std::invoke_result_t<Work, Session&> result{};
    database.read([&](Session& session) { result = work(session); });
    return result;
}
template <typename Work> auto write_with(Database& database, Work work) {
    std::invoke_result_t<Work, Session&> result{};
    database.write([&](Session& session) { result = work(session); });
    return result;
}

// The first column of a query's single row as a whole number (a count, an id RETURNING gave), or nothing.
std::optional<std::int64_t> single_integer(Session& session, std::string_view sql, const Params& params,
                                           std::string_view doing);

} // namespace lumresults::sql
