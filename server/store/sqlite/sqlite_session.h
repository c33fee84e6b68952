// server/store/sqlite/sqlite_session.h: the store's statements on one SQLite connection.
#pragma once

#include "server/store/sql/database.h"
#include "server/store/sqlite/sqlite_handles.h"

namespace lumresults::sqlite {

// Statements come with $n markers, which SQLite spells ?n; truth values are kept as 0 and 1.
class Session final : public sql::Session {
public:
    explicit Session(sqlite3* db) : db_(db) {}

    std::size_t query(std::string_view sql, const sql::Params& params, std::string_view doing,
                      const sql::RowHandler& row) override;
    std::size_t execute(std::string_view sql, const sql::Params& params, std::string_view doing) override;

private:
    Statement prepared(std::string_view sql, const sql::Params& params);

    sqlite3* db_;
};

} // namespace lumresults::sqlite
