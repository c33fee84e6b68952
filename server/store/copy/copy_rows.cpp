// server/store/copy/copy_rows.cpp: row-by-row copying, table-driven, with equality as the test for "copied already".
#include "server/store/copy/copy_rows.h"

#include "server/store/postgres/pg_handles.h"
#include "server/store/sqlite/sqlite_handles.h"
#include "server/store/store.h"

#include <optional>

namespace lumresults::copy {
namespace {

constexpr std::size_t rows_per_transaction = 500;

std::string quoted(const char* name) { return std::string("\"") + name + "\""; }

std::string column_list(const TableColumns& table, std::size_t count) {
    std::string list;
    for (std::size_t i = 0; i < count; ++i)
        list += (list.empty() ? "" : ", ") + quoted(table.columns[i].name);
    return list;
}

std::string column_list(const TableColumns& table) { return column_list(table, table.columns.size()); }

std::string insert_sql(const TableColumns& table) {
    std::string values;
    for (std::size_t i = 1; i <= table.columns.size(); ++i)
        values += (i == 1 ? "$" : ", $") + std::to_string(i);
    return "INSERT INTO " + quoted(table.name) + " (" + column_list(table) + ") VALUES (" + values + ") ON CONFLICT (" +
           column_list(table, table.key_columns) + ") DO NOTHING";
}

// Finds the target's row only when every column equals the source's (NULL equal to NULL).
std::string same_row_sql(const TableColumns& table) {
    std::string sql = "SELECT 1 FROM " + quoted(table.name) + " WHERE true";
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        sql += " AND " + quoted(table.columns[i].name) + (i < table.key_columns ? " = $" : " IS NOT DISTINCT FROM $") +
               std::to_string(i + 1);
    return sql;
}

void add_param(postgres::Params& params, Kind kind, sqlite3_stmt* row, int index) {
    switch (kind) {
    case Kind::integer: // NULL where a reading has no such figure
        sqlite3_column_type(row, index) == SQLITE_NULL ? params.unused() : params.integer(sqlite3_column_int64(row, index));
        break;
    case Kind::boolean: params.boolean(sqlite3_column_int64(row, index) != 0); break;
    case Kind::text: params.text(sqlite::column_bytes(row, index)); break;
    case Kind::bytes: params.bytes(sqlite::column_bytes(row, index)); break;
    case Kind::real:
        params.real(sqlite3_column_type(row, index) == SQLITE_NULL ? std::nullopt
                                                                   : std::optional(sqlite3_column_double(row, index)));
        break;
    }
}

} // namespace

std::string select_sql(const TableColumns& table) {
    return "SELECT " + column_list(table) + " FROM " + quoted(table.name) + " ORDER BY " +
           column_list(table, table.key_columns);
}

bool copy_row(postgres::Session& target, const TableColumns& table, sqlite3_stmt* row) {
    postgres::Params params;
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        add_param(params, table.columns[i].kind, row, static_cast<int>(i));
    const std::string doing = std::string("copying a row of ") + table.name;
    if (postgres::rows_changed(target.run(insert_sql(table), params, doing).get()) == 1) return true;
    if (PQntuples(target.run(same_row_sql(table), params, doing).get()) == 1) return false;
    throw StoreError(std::string(table.name) + " " + sqlite::column_bytes(row, 0) +
                     ": the target has a different row under this key; copied nothing of it (the rows before it "
                     "are copied)");
}

RowCounts copy_table(sqlite3* source, postgres::Session& target, const TableColumns& table) {
    RowCounts counts;
    const sqlite::Statement select = sqlite::prepare(source, select_sql(table));
    std::optional<postgres::Transaction> batch;
    std::size_t in_batch = 0;
    while (sqlite::step(source, select.get())) {
        if (!batch) batch.emplace(target);
        ++(copy_row(target, table, select.get()) ? counts.copied : counts.there);
        if (++in_batch == rows_per_transaction) {
            batch->commit();
            batch.reset();
            in_batch = 0;
        }
    }
    if (batch) batch->commit();
    return counts;
}

void move_sequence_past(sqlite3* source, postgres::Session& target, const char* table) {
    const sqlite::Statement highest = sqlite::prepare(source, "SELECT seq FROM sqlite_sequence WHERE name = ?1");
    sqlite::bind_text(highest.get(), 1, table);
    if (!sqlite::step(source, highest.get())) return; // SQLite never gave an id there
    target.run("SELECT setval(pg_get_serial_sequence($1, 'id'), $2) "
               "WHERE $2 > COALESCE(pg_sequence_last_value(pg_get_serial_sequence($1, 'id')::regclass), 0)",
               postgres::Params().text(table).integer(sqlite3_column_int64(highest.get(), 0)),
               std::string("moving the ids of ") + table + " past the copied ones");
}

} // namespace lumresults::copy
