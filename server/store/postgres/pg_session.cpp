// server/store/postgres/pg_session.cpp: connecting, preparing each statement once, and rows one at a time.
#include "server/store/postgres/pg_session.h"

#include "server/store/store.h"

#include <poll.h>

#include <array>
#include <cstdio>
#include <type_traits>
#include <variant>

namespace lumresults::postgres {
namespace {

// Connects with the store's defaults before the URL's own words, which override them: a server that
// does not answer fails the call within connect_timeout instead of holding it for the system's TCP timeout.
Connection connect(const std::string& url, const std::string& where) {
    const std::array<const char*, 4> keywords{"connect_timeout", "application_name", "dbname", nullptr};
    const std::array<const char*, 4> values{"5", "lumresults", url.c_str(), nullptr};
    Connection connection(PQconnectdbParams(keywords.data(), values.data(), 1));
    if (!connection) throw StoreError(where + ": cannot connect: out of memory");
    if (PQstatus(connection.get()) != CONNECTION_OK)
        fail(where, "cannot connect", PQerrorMessage(connection.get()), true);
    return connection;
}

} // namespace

Session::Session(const std::string& url, std::string where)
    : connection_(connect(url, where)), where_(std::move(where)) {
    PQsetNoticeReceiver(native(), receive_notice, this);
    // Durable before acknowledged: a server or database whose default is synchronous_commit = off would
    // acknowledge commits that a crash can still lose; every session asks for the flush itself.
    // NOTICEs (a table that exists, ...) are nothing the operator must read on the server's output.
    // The statements are written for READ COMMITTED, whatever the server's default: each sees what was
    // committed before it began, so what a row lock waited for is seen by the next (see count_reading).
    exec("SET synchronous_commit = on; SET client_min_messages = warning; "
         "SET default_transaction_isolation = 'read committed'",
         "setting up the connection");
}

const std::string& Session::prepared(std::string_view sql, const Params& params, std::string_view doing) {
    const auto found = statements_.find(std::string(sql));
    if (found != statements_.end()) return found->second;
    const std::string name = "lumresults_" + std::to_string(statements_.size());
    const std::string text(sql);
    checked(Result(PQprepare(native(), name.c_str(), text.c_str(), params.count(), params.types())), native(), where_,
            doing);
    return statements_.emplace(text, name).first->second;
}

namespace {

class ResultRow final : public sql::Row {
public:
    ResultRow(const PGresult* result, int row) : result_(result), row_(row) {}

    bool is_null(int column) const override { return postgres::is_null(result_, row_, column); }
    std::string bytes(int column) const override { return bytes_at(result_, row_, column); }
    std::int64_t integer(int column) const override { return integer_at(result_, row_, column); }
    std::optional<double> real(int column) const override { return real_at(result_, row_, column); }

private:
    const PGresult* result_;
    int row_;
};

Params binary(const sql::Params& params) {
    Params binary;
    for (const sql::Value& value : params.values()) {
        std::visit(
            [&](const auto& v) {
                using V = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<V, sql::Text>)
                    binary.text(v.value);
                else if constexpr (std::is_same_v<V, sql::Bytes>)
                    binary.bytes(v.value);
                else if constexpr (std::is_same_v<V, bool>)
                    binary.boolean(v);
                else if constexpr (std::is_same_v<V, sql::Integer>)
                    v.value ? binary.integer(*v.value) : binary.unused();
                else
                    binary.real(v.value);
            },
            value);
    }
    return binary;
}

} // namespace

std::size_t Session::query(std::string_view sql, const sql::Params& params, std::string_view doing,
                           const sql::RowHandler& row) {
    const Result result = run(sql, binary(params), doing);
    const int rows = PQntuples(result.get());
    for (int at = 0; at < rows; ++at)
        row(ResultRow(result.get(), at));
    return static_cast<std::size_t>(rows);
}

std::size_t Session::execute(std::string_view sql, const sql::Params& params, std::string_view doing) {
    return rows_changed(run(sql, binary(params), doing).get());
}

Result Session::run(std::string_view sql, const Params& params, std::string_view doing) {
    const std::string& name = prepared(sql, params, doing);
    return checked(Result(PQexecPrepared(native(), name.c_str(), params.count(), params.values(), params.lengths(),
                                         params.formats(), 1)),
                   native(), where_, doing);
}

void Session::exec(const char* sql, std::string_view doing) {
    checked(Result(PQexec(native(), sql)), native(), where_, doing);
}

std::size_t Session::for_each_row(std::string_view sql, const Params& params, std::string_view doing,
                                  const std::function<void(const PGresult* row)>& row) {
    const std::string& name = prepared(sql, params, doing);
    if (PQsendQueryPrepared(native(), name.c_str(), params.count(), params.values(), params.lengths(), params.formats(),
                            1) == 0 ||
        PQsetSingleRowMode(native()) == 0)
        fail(where_, doing, PQerrorMessage(native()), lost(native(), nullptr));
    std::size_t rows = 0;
    std::optional<Result> failure;
    // Every result of the query is taken, up to the null that ends it, even after an error: only then is
    // the connection ready for the next statement.
    for (Result result(PQgetResult(native())); result; result.reset(PQgetResult(native()))) {
        const ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_SINGLE_TUPLE && !failure) {
            interrupted_ = true;
            row(result.get());
            interrupted_ = false;
            ++rows;
        } else if (status != PGRES_TUPLES_OK && status != PGRES_SINGLE_TUPLE && !failure) {
            failure.emplace(std::move(result));
        }
    }
    if (failure) checked(std::move(*failure), native(), where_, doing);
    if (PQstatus(native()) != CONNECTION_OK) fail(where_, doing, PQerrorMessage(native()), true);
    return rows;
}

bool Session::usable() const {
    return !interrupted_ && !ended_ && PQstatus(native()) == CONNECTION_OK &&
           PQtransactionStatus(native()) == PQTRANS_IDLE;
}

bool Session::still_connected() {
    // A server that ends an idle session (a restart, an administrator) first sends why, as a FATAL error
    // that libpq hands to the notice receiver, then closes the socket: reading whatever has come is
    // enough to know, without waiting for the close (nothing to read, at once, on a live idle session).
    for (pollfd socket{PQsocket(native()), POLLIN, 0}; usable() && poll(&socket, 1, 0) > 0;
         socket.fd = PQsocket(native()))
        if (PQconsumeInput(native()) == 0) return false;
    PQisBusy(native()); // parses what came in, which hands a FATAL error to the notice receiver
    return usable();
}

void Session::receive_notice(void* self, const PGresult* notice) {
    const char* severity = PQresultErrorField(notice, PG_DIAG_SEVERITY_NONLOCALIZED);
    if (severity != nullptr && (std::string_view(severity) == "FATAL" || std::string_view(severity) == "PANIC"))
        static_cast<Session*>(self)->ended_ = true; // the next call finds it ended and says so
    else
        std::fputs(PQresultErrorMessage(notice), stderr); // as libpq's own receiver would
}

Transaction::Transaction(Session& session) : session_(session) { session_.exec("BEGIN", "starting a transaction"); }

Transaction::~Transaction() {
    // A lost connection has nothing to roll back (the server has); its session is dropped by the pool.
    if (open_ && PQstatus(session_.native()) == CONNECTION_OK) PQclear(PQexec(session_.native(), "ROLLBACK"));
}

void Transaction::commit() {
    open_ = false;
    session_.exec("COMMIT", "committing");
}

} // namespace lumresults::postgres
