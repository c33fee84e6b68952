// server/store/sqlite/staff_tables.cpp: the statements behind the staff tables.
#include "server/store/sqlite/staff_tables.h"

#include <algorithm>
#include <cstdint>

namespace lumresults::sqlite {
namespace {

// Runs a statement that writes; returns how many rows it changed.
std::size_t run(sqlite3* db, Statement& statement) {
    step(db, statement.get());
    return static_cast<std::size_t>(sqlite3_changes(db));
}

std::size_t count_since(sqlite3* db, const char* sql, std::string_view key, bool key_is_bytes,
                        Clock::time_point since) {
    Statement query = prepare(db, sql);
    if (key_is_bytes)
        bind_bytes(query.get(), 1, key);
    else
        bind_text(query.get(), 1, key);
    bind_integer(query.get(), 2, to_unix_ms(since));
    step(db, query.get());
    return static_cast<std::size_t>(sqlite3_column_int64(query.get(), 0));
}

std::int64_t limit_of(std::size_t limit) { return static_cast<std::int64_t>(std::min<std::size_t>(limit, INT64_MAX)); }

} // namespace

bool add_user(sqlite3* db, const StaffUser& user) {
    Statement insert =
        prepare(db, "INSERT OR IGNORE INTO staff_users (name, password_hash, created_ms) VALUES (?1, ?2, ?3)");
    bind_bytes(insert.get(), 1, user.name);
    bind_text(insert.get(), 2, user.password_hash);
    bind_integer(insert.get(), 3, to_unix_ms(Clock::now()));
    return run(db, insert) == 1;
}

bool set_password(sqlite3* db, std::string_view name, std::string_view password_hash) {
    // A new password ends every session made with the old one.
    Transaction transaction(db, "BEGIN IMMEDIATE");
    Statement update = prepare(db, "UPDATE staff_users SET password_hash = ?2 WHERE name = ?1");
    bind_bytes(update.get(), 1, name);
    bind_text(update.get(), 2, password_hash);
    const bool changed = run(db, update) == 1;
    Statement end = prepare(db, "DELETE FROM staff_sessions WHERE user = ?1");
    bind_bytes(end.get(), 1, name);
    run(db, end);
    transaction.commit();
    return changed;
}

bool remove_user(sqlite3* db, std::string_view name) {
    // Its sessions go with it (ON DELETE CASCADE).
    Statement erase = prepare(db, "DELETE FROM staff_users WHERE name = ?1");
    bind_bytes(erase.get(), 1, name);
    return run(db, erase) == 1;
}

std::optional<StaffUser> find_user(sqlite3* db, std::string_view name) {
    Statement query = prepare(db, "SELECT name, password_hash FROM staff_users WHERE name = ?1");
    bind_bytes(query.get(), 1, name);
    if (!step(db, query.get())) return std::nullopt;
    return StaffUser{column_bytes(query.get(), 0), column_bytes(query.get(), 1)};
}

std::vector<std::string> list_users(sqlite3* db) {
    Statement query = prepare(db, "SELECT name FROM staff_users ORDER BY name");
    std::vector<std::string> names;
    while (step(db, query.get()))
        names.push_back(column_bytes(query.get(), 0));
    return names;
}

void put_session(sqlite3* db, const StaffSession& session) {
    Statement insert = prepare(db, "INSERT INTO staff_sessions (key, user, csrf, created_ms, last_seen_ms) "
                                   "VALUES (?1, ?2, ?3, ?4, ?5)");
    bind_text(insert.get(), 1, session.key);
    bind_bytes(insert.get(), 2, session.user);
    bind_text(insert.get(), 3, session.csrf);
    bind_integer(insert.get(), 4, to_unix_ms(session.created));
    bind_integer(insert.get(), 5, to_unix_ms(session.last_seen));
    run(db, insert);
}

std::optional<StaffSession> find_session(sqlite3* db, std::string_view key) {
    Statement query =
        prepare(db, "SELECT key, user, csrf, created_ms, last_seen_ms FROM staff_sessions WHERE key = ?1");
    bind_text(query.get(), 1, key);
    if (!step(db, query.get())) return std::nullopt;
    sqlite3_stmt* row = query.get();
    return StaffSession{column_bytes(row, 0), column_bytes(row, 1), column_bytes(row, 2),
                        from_unix_ms(sqlite3_column_int64(row, 3)), from_unix_ms(sqlite3_column_int64(row, 4))};
}

void touch_session(sqlite3* db, std::string_view key, Clock::time_point seen) {
    Statement update = prepare(db, "UPDATE staff_sessions SET last_seen_ms = max(last_seen_ms, ?2) WHERE key = ?1");
    bind_text(update.get(), 1, key);
    bind_integer(update.get(), 2, to_unix_ms(seen));
    run(db, update);
}

void delete_session(sqlite3* db, std::string_view key) {
    Statement erase = prepare(db, "DELETE FROM staff_sessions WHERE key = ?1");
    bind_text(erase.get(), 1, key);
    run(db, erase);
}

std::size_t delete_sessions_idle_since(sqlite3* db, Clock::time_point last_seen_before) {
    Statement erase = prepare(db, "DELETE FROM staff_sessions WHERE last_seen_ms < ?1");
    bind_integer(erase.get(), 1, to_unix_ms(last_seen_before));
    return run(db, erase);
}

void note_refused_sign_in(sqlite3* db, std::string_view user, std::string_view address, Clock::time_point time) {
    Statement insert = prepare(db, "INSERT INTO refused_sign_ins (user, address, time_ms) VALUES (?1, ?2, ?3)");
    bind_bytes(insert.get(), 1, user);
    bind_text(insert.get(), 2, address);
    bind_integer(insert.get(), 3, to_unix_ms(time));
    run(db, insert);
}

std::size_t refused_sign_ins_of_user(sqlite3* db, std::string_view user, Clock::time_point since) {
    return count_since(db, "SELECT count(*) FROM refused_sign_ins WHERE user = ?1 AND time_ms >= ?2", user, true,
                       since);
}

std::size_t refused_sign_ins_from(sqlite3* db, std::string_view address, Clock::time_point since) {
    return count_since(db, "SELECT count(*) FROM refused_sign_ins WHERE address = ?1 AND time_ms >= ?2", address, false,
                       since);
}

void forget_refused_sign_ins_before(sqlite3* db, Clock::time_point before) {
    Statement erase = prepare(db, "DELETE FROM refused_sign_ins WHERE time_ms < ?1");
    bind_integer(erase.get(), 1, to_unix_ms(before));
    run(db, erase);
}

void append_audit(sqlite3* db, const AuditEntry& entry) {
    Statement insert = prepare(db, "INSERT INTO audit_log (time_ms, user, address, action, detail) "
                                   "VALUES (?1, ?2, ?3, ?4, ?5)");
    bind_integer(insert.get(), 1, to_unix_ms(entry.time));
    bind_bytes(insert.get(), 2, entry.user);
    bind_text(insert.get(), 3, entry.address);
    bind_text(insert.get(), 4, entry.action);
    bind_bytes(insert.get(), 5, entry.detail);
    run(db, insert);
}

std::vector<AuditEntry> list_audit(sqlite3* db, std::size_t limit) {
    Statement query =
        prepare(db, "SELECT time_ms, user, address, action, detail FROM audit_log ORDER BY id DESC LIMIT ?1");
    bind_integer(query.get(), 1, limit_of(limit));
    std::vector<AuditEntry> entries;
    for (sqlite3_stmt* row = query.get(); step(db, row);)
        entries.push_back({from_unix_ms(sqlite3_column_int64(row, 0)), column_bytes(row, 1), column_bytes(row, 2),
                           column_bytes(row, 3), column_bytes(row, 4)});
    return entries;
}

bool add_token(sqlite3* db, std::string_view name, std::string_view token_hash) {
    Statement insert =
        prepare(db, "INSERT OR IGNORE INTO api_tokens (name, token_hash, created_ms) VALUES (?1, ?2, ?3)");
    bind_bytes(insert.get(), 1, name);
    bind_text(insert.get(), 2, token_hash);
    bind_integer(insert.get(), 3, to_unix_ms(Clock::now()));
    return run(db, insert) == 1;
}

bool remove_token(sqlite3* db, std::string_view name) {
    Statement erase = prepare(db, "DELETE FROM api_tokens WHERE name = ?1");
    bind_bytes(erase.get(), 1, name);
    return run(db, erase) == 1;
}

std::optional<std::string> token_name(sqlite3* db, std::string_view token_hash) {
    Statement query = prepare(db, "SELECT name FROM api_tokens WHERE token_hash = ?1");
    bind_text(query.get(), 1, token_hash);
    if (!step(db, query.get())) return std::nullopt;
    return column_bytes(query.get(), 0);
}

} // namespace lumresults::sqlite
