// server/store/copy/copy_rows.h: copying a table's rows from SQLite into PostgreSQL under the same keys, once.
#pragma once

#include "server/store/postgres/pg_session.h"

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumresults::copy {

// How a column is kept: both stores name it alike; SQLite's integers may be PostgreSQL's booleans, and an
// integer may be NULL (a figure a reading does not have).
enum class Kind { integer, boolean, text, bytes, real };

struct Column {
    const char* name;
    Kind kind;
};

// A table both stores have under the same name and column names; its first key_columns columns are its key.
struct TableColumns {
    const char* name;
    std::vector<Column> columns;
    std::size_t key_columns = 1;
};

// The SELECT that reads the table's columns from SQLite, in key order.
std::string select_sql(const TableColumns& table);

// Inserts the row the SQLite statement is on (its columns in the table's order) unless the target has its
// key already; such a row must then equal it in every column, or StoreError. True when inserted.
bool copy_row(postgres::Session& target, const TableColumns& table, sqlite3_stmt* row);

struct RowCounts {
    std::size_t copied = 0;
    std::size_t there = 0;
};

// Copies every row of the table, a few hundred to a transaction.
RowCounts copy_table(sqlite3* source, postgres::Session& target, const TableColumns& table);

// Moves the target's id sequence for `table` past the highest id SQLite ever gave there (deleted reports
// included), so that no id names two reports; never moves it back.
void move_sequence_past(sqlite3* source, postgres::Session& target, const char* table);

} // namespace lumresults::copy
