// server/store/postgres/pg_handles.h: owners of libpq connections and results, parameters, columns and errors.
#pragma once

#include "runtime/common/unique_resource.h"
#include "server/store/unix_ms.h"

#include <libpq-fe.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumresults::postgres {

struct ConnectionKind {
    using Native = PGconn*;
    static Native none() { return nullptr; }
    static bool holds(Native native) { return native != nullptr; }
    static void free(Native native) { PQfinish(native); }
};
struct ResultKind {
    using Native = PGresult*;
    static Native none() { return nullptr; }
    static bool holds(Native native) { return native != nullptr; }
    static void free(Native native) { PQclear(native); }
};

using Connection = lum::UniqueResource<ConnectionKind>;
using Result = lum::UniqueResource<ResultKind>;

// A statement's parameters, each with its type, all sent in binary: bytes go through exactly (NUL and
// non-UTF-8 included), integers and figures without a round trip through text.
class Params {
public:
    Params& text(std::string_view value);  // text: compared as bytes in the COLLATE "C" columns
    Params& bytes(std::string_view value); // bytea
    Params& integer(std::int64_t value);   // bigint
    Params& boolean(bool value);
    Params& real(std::optional<double> value); // double precision; NULL when there is no figure
    Params& time(std::chrono::system_clock::time_point value) { return integer(to_unix_ms(value)); }
    // A parameter the statement's text leaves out for this search; typed, so that the statement prepares.
    Params& unused();

    int count() const { return static_cast<int>(types_.size()); }
    const Oid* types() const { return types_.data(); }
    // The arrays libpq reads; valid while this object lives unchanged.
    const char* const* values() const;
    const int* lengths() const { return lengths_.data(); }
    const int* formats() const { return formats_.data(); }

private:
    Params& add(Oid type, std::optional<std::string> value);

    std::vector<Oid> types_;
    std::vector<std::optional<std::string>> values_;
    std::vector<int> lengths_;
    std::vector<int> formats_;
    mutable std::vector<const char*> pointers_;
};

// Every result is asked for in binary; these read its columns. NULL reads as empty, 0 or nothing.
bool is_null(const PGresult* result, int row, int column);
std::string bytes_at(const PGresult* result, int row, int column);    // text or bytea
std::int64_t integer_at(const PGresult* result, int row, int column); // boolean, smallint, integer or bigint
std::optional<double> real_at(const PGresult* result, int row, int column);
std::size_t rows_changed(const PGresult* result); // of an INSERT, UPDATE or DELETE

// Throws StoreError: where (the database, never its password), what was being done, PostgreSQL's words.
// StoreUnavailable instead when `unavailable`: the connection is lost, or the server cannot take it now.
[[noreturn]] void fail(std::string_view where, std::string_view doing, std::string_view message,
                       bool unavailable = false);
// True when the connection has ended, the error is libpq's own (no SQLSTATE: the server went away), or
// the server's shutting down, starting up or losing the connection (SQLSTATE class 08, 57P01 to 57P03):
// what was asked may be tried again once the server is back.
bool lost(PGconn* connection, const PGresult* error);
// Throws as fail() (StoreUnavailable when lost()) unless the result is a success; returns it otherwise.
Result checked(Result result, PGconn* connection, std::string_view where, std::string_view doing);

} // namespace lumresults::postgres
