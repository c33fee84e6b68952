// server/store/sqlite/sqlite_session.cpp: binding the store's parameters and reading its rows on SQLite.
#include "server/store/sqlite/sqlite_session.h"

#include <type_traits>

namespace lumresults::sqlite {
namespace {

class StatementRow final : public sql::Row {
public:
    explicit StatementRow(sqlite3_stmt* statement) : statement_(statement) {}

    bool is_null(int column) const override { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    std::string bytes(int column) const override { return column_bytes(statement_, column); }
    std::int64_t integer(int column) const override { return sqlite3_column_int64(statement_, column); }
    std::optional<double> real(int column) const override {
        return is_null(column) ? std::nullopt : std::optional(sqlite3_column_double(statement_, column));
    }

private:
    sqlite3_stmt* statement_;
};

// "$12" becomes "?12": the markers' numbers stay, so a parameter may be used more than once. A closing row
// lock (FOR UPDATE) goes: SQLite has none, and the one writer it lets in, whose transaction begins
// IMMEDIATE, holds the whole file already.
std::string in_sqlite_spelling(std::string_view sql) {
    constexpr std::string_view ROW_LOCK = " FOR UPDATE";
    if (sql.ends_with(ROW_LOCK)) sql.remove_suffix(ROW_LOCK.size());
    std::string spelled(sql);
    for (std::size_t at = 0; at + 1 < spelled.size(); ++at) {
        if (spelled[at] == '$' && spelled[at + 1] >= '0' && spelled[at + 1] <= '9') spelled[at] = '?';
    }
    return spelled;
}

void bind_value(sqlite3* db, sqlite3_stmt* statement, int index, const sql::Value& value) {
    std::visit(
        [&](const auto& v) {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, sql::Text>) {
                bind_text(statement, index, v.value);
            } else if constexpr (std::is_same_v<V, sql::Bytes>) {
                bind_bytes(statement, index, v.value);
            } else if constexpr (std::is_same_v<V, bool>) {
                bind_integer(statement, index, v ? 1 : 0);
            } else if constexpr (std::is_same_v<V, sql::Integer>) {
                check(db,
                      v.value ? sqlite3_bind_int64(statement, index, *v.value) : sqlite3_bind_null(statement, index),
                      "binding a number");
            } else {
                check(db,
                      v.value ? sqlite3_bind_double(statement, index, *v.value) : sqlite3_bind_null(statement, index),
                      "binding a figure");
            }
        },
        value);
}

} // namespace

sqlite3_stmt* StatementCache::get(sqlite3* db, const std::string& sql) {
    const auto found = statements_.find(sql);
    if (found != statements_.end()) return found->second.get();
    if (statements_.size() >= most) statements_.clear();
    return statements_.emplace(sql, prepare(db, sql)).first->second.get();
}

Session::Bound::~Bound() {
    if (lent_ == nullptr) return;
    // Its outcome is the last step's, already reported.
    sqlite3_reset(lent_);
    sqlite3_clear_bindings(lent_);
}

Session::Bound Session::prepared(std::string_view sql, const sql::Params& params) {
    const std::string spelled = in_sqlite_spelling(sql);
    Bound statement =
        cache_ != nullptr ? Bound(Statement(), cache_->get(db_, spelled)) : Bound(prepare(db_, spelled), nullptr);
    int index = 0;
    for (const sql::Value& value : params.values())
        bind_value(db_, statement.get(), ++index, value);
    return statement;
}

std::size_t Session::query(std::string_view sql, const sql::Params& params, std::string_view doing,
                           const sql::RowHandler& row) {
    (void)doing; // SQLite's own words name the statement (see fail)
    const Bound statement = prepared(sql, params);
    const StatementRow current(statement.get());
    std::size_t rows = 0;
    for (; step(db_, statement.get()); ++rows)
        row(current);
    return rows;
}

std::size_t Session::execute(std::string_view sql, const sql::Params& params, std::string_view doing) {
    (void)doing;
    // A table lock is already held: the one writer SQLite lets in holds the whole file.
    if (sql.starts_with("LOCK TABLE ")) return 0;
    const Bound statement = prepared(sql, params);
    while (step(db_, statement.get())) {
    }
    return static_cast<std::size_t>(sqlite3_changes(db_));
}

} // namespace lumresults::sqlite
