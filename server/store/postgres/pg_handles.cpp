// server/store/postgres/pg_handles.cpp: parameters sent and columns read in PostgreSQL's binary format, and errors.
#include "server/store/postgres/pg_handles.h"

#include "server/store/store.h"

#include <bit>
#include <cstring>
#include <string>

namespace lumresults::postgres {
namespace {

// The type numbers of PostgreSQL's built-in types (fixed: pg_type.dat).
constexpr Oid BOOL_OID = 16, BYTEA_OID = 17, INT8_OID = 20, TEXT_OID = 25, FLOAT8_OID = 701;

// Binary values are big-endian on the wire.
std::string big_endian(std::uint64_t value) {
    std::string bytes(8, '\0');
    for (int i = 7; i >= 0; --i, value >>= 8)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>(value & 0xFF);
    return bytes;
}

std::uint64_t from_big_endian(const char* bytes, int length) {
    std::uint64_t value = 0;
    for (int i = 0; i < length; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return value;
}

} // namespace

Params& Params::add(Oid type, std::optional<std::string> value) {
    types_.push_back(type);
    lengths_.push_back(value ? static_cast<int>(value->size()) : 0);
    formats_.push_back(1);
    values_.push_back(std::move(value));
    return *this;
}

Params& Params::text(std::string_view value) { return add(TEXT_OID, std::string(value)); }
Params& Params::bytes(std::string_view value) { return add(BYTEA_OID, std::string(value)); }
Params& Params::integer(std::int64_t value) { return add(INT8_OID, big_endian(static_cast<std::uint64_t>(value))); }
Params& Params::boolean(bool value) { return add(BOOL_OID, std::string(1, value ? '\1' : '\0')); }
Params& Params::unused() { return add(INT8_OID, std::nullopt); }

Params& Params::real(std::optional<double> value) {
    if (!value) return add(FLOAT8_OID, std::nullopt);
    return add(FLOAT8_OID, big_endian(std::bit_cast<std::uint64_t>(*value)));
}

const char* const* Params::values() const {
    pointers_.clear();
    for (const std::optional<std::string>& value : values_)
        pointers_.push_back(value ? value->data() : nullptr);
    return pointers_.data();
}

bool is_null(const PGresult* result, int row, int column) { return PQgetisnull(result, row, column) != 0; }

std::string bytes_at(const PGresult* result, int row, int column) {
    return std::string(PQgetvalue(result, row, column), static_cast<std::size_t>(PQgetlength(result, row, column)));
}

std::int64_t integer_at(const PGresult* result, int row, int column) {
    const int length = PQgetlength(result, row, column);
    if (is_null(result, row, column) || length == 0) return 0;
    const std::uint64_t value = from_big_endian(PQgetvalue(result, row, column), length);
    // Sign-extended from its width (1, 2, 4 or 8 bytes).
    const int unused_bits = 64 - 8 * length;
    return static_cast<std::int64_t>(value << unused_bits) >> unused_bits;
}

std::optional<double> real_at(const PGresult* result, int row, int column) {
    if (is_null(result, row, column)) return std::nullopt;
    return std::bit_cast<double>(from_big_endian(PQgetvalue(result, row, column), 8));
}

std::size_t rows_changed(const PGresult* result) {
    return static_cast<std::size_t>(std::stoull("0" + std::string(PQcmdTuples(const_cast<PGresult*>(result)))));
}

void fail(std::string_view where, std::string_view doing, std::string_view message, bool unavailable) {
    std::string text = std::string(where) + ": " + std::string(doing) + ": " + std::string(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    if (unavailable) throw StoreUnavailable(text);
    throw StoreError(text);
}

bool lost(PGconn* connection, const PGresult* error) {
    if (PQstatus(connection) != CONNECTION_OK) return true;
    if (error == nullptr) return false;
    // Errors libpq makes itself (the server gone mid-answer, say) carry no SQLSTATE: every error the
    // server sends does.
    const char* state = PQresultErrorField(error, PG_DIAG_SQLSTATE);
    if (state == nullptr) return true;
    const std::string_view code(state);
    return code.starts_with("08") || code == "57P01" || code == "57P02" || code == "57P03";
}

Result checked(Result result, PGconn* connection, std::string_view where, std::string_view doing) {
    if (!result) fail(where, doing, PQerrorMessage(connection), lost(connection, nullptr));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_SINGLE_TUPLE) return result;
    fail(where, doing, PQresultErrorMessage(result.get()), lost(connection, result.get()));
}

} // namespace lumresults::postgres
