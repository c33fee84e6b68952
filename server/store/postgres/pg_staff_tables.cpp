// server/store/postgres/pg_staff_tables.cpp: the statements behind the staff tables.
#include "server/store/postgres/pg_staff_tables.h"

#include "server/store/postgres/pg_report_search.h"

namespace lumresults::postgres {
namespace {

// Runs a statement that writes; returns how many rows it changed.
std::size_t run(Session& session, const char* sql, const Params& params, std::string_view doing) {
    return rows_changed(session.run(sql, params, doing).get());
}

std::size_t count(Session& session, const char* sql, const Params& params) {
    return static_cast<std::size_t>(integer_at(session.run(sql, params, "counting refused sign-ins").get(), 0, 0));
}

// The single row's first column as bytes, or nothing when there is no row.
std::optional<std::string> first_bytes(const Result& result) {
    if (PQntuples(result.get()) == 0) return std::nullopt;
    return bytes_at(result.get(), 0, 0);
}

} // namespace

bool add_user(Session& session, const StaffUser& user) {
    // A name taken changes nothing (ON CONFLICT DO NOTHING changes no row), as SQLite's INSERT OR IGNORE.
    return run(session,
               "INSERT INTO staff_users (name, password_hash, created_ms) VALUES ($1, $2, $3) "
               "ON CONFLICT DO NOTHING",
               Params().bytes(user.name).text(user.password_hash).time(Clock::now()), "adding a staff user") == 1;
}

bool set_password(Session& session, std::string_view name, std::string_view password_hash) {
    // A new password ends every session made with the old one.
    Transaction transaction(session);
    const bool changed = run(session, "UPDATE staff_users SET password_hash = $2 WHERE name = $1",
                             Params().bytes(name).text(password_hash), "setting a password") == 1;
    run(session, "DELETE FROM staff_sessions WHERE \"user\" = $1", Params().bytes(name), "ending a user's sessions");
    transaction.commit();
    return changed;
}

bool remove_user(Session& session, std::string_view name) {
    // Its sessions go with it (ON DELETE CASCADE).
    return run(session, "DELETE FROM staff_users WHERE name = $1", Params().bytes(name), "removing a staff user") == 1;
}

std::optional<StaffUser> find_user(Session& session, std::string_view name) {
    const Result found = session.run("SELECT name, password_hash FROM staff_users WHERE name = $1",
                                     Params().bytes(name), "finding a staff user");
    if (PQntuples(found.get()) == 0) return std::nullopt;
    return StaffUser{bytes_at(found.get(), 0, 0), bytes_at(found.get(), 0, 1)};
}

std::vector<std::string> list_users(Session& session) {
    // bytea orders as SQLite's blobs do: by bytes, the shorter first on a tie.
    const Result found = session.run("SELECT name FROM staff_users ORDER BY name", Params(), "listing staff users");
    std::vector<std::string> names;
    for (int row = 0; row < PQntuples(found.get()); ++row)
        names.push_back(bytes_at(found.get(), row, 0));
    return names;
}

void put_session(Session& session, const StaffSession& staff_session) {
    run(session,
        "INSERT INTO staff_sessions (key, \"user\", csrf, created_ms, last_seen_ms) VALUES ($1, $2, $3, $4, $5)",
        Params()
            .text(staff_session.key)
            .bytes(staff_session.user)
            .text(staff_session.csrf)
            .time(staff_session.created)
            .time(staff_session.last_seen),
        "storing a session");
}

std::optional<StaffSession> find_session(Session& session, std::string_view key) {
    const Result found =
        session.run("SELECT key, \"user\", csrf, created_ms, last_seen_ms FROM staff_sessions WHERE key = $1",
                    Params().text(key), "finding a session");
    const PGresult* row = found.get();
    if (PQntuples(row) == 0) return std::nullopt;
    return StaffSession{bytes_at(row, 0, 0), bytes_at(row, 0, 1), bytes_at(row, 0, 2),
                        from_unix_ms(integer_at(row, 0, 3)), from_unix_ms(integer_at(row, 0, 4))};
}

void touch_session(Session& session, std::string_view key, Clock::time_point seen) {
    run(session, "UPDATE staff_sessions SET last_seen_ms = greatest(last_seen_ms, $2) WHERE key = $1",
        Params().text(key).time(seen), "touching a session");
}

void delete_session(Session& session, std::string_view key) {
    run(session, "DELETE FROM staff_sessions WHERE key = $1", Params().text(key), "ending a session");
}

std::size_t delete_sessions_idle_since(Session& session, Clock::time_point last_seen_before) {
    return run(session, "DELETE FROM staff_sessions WHERE last_seen_ms < $1", Params().time(last_seen_before),
               "ending idle sessions");
}

void note_refused_sign_in(Session& session, std::string_view user, std::string_view address, Clock::time_point time) {
    run(session, "INSERT INTO refused_sign_ins (\"user\", address, time_ms) VALUES ($1, $2, $3)",
        Params().bytes(user).text(address).time(time), "noting a refused sign-in");
}

std::size_t refused_sign_ins_of_user(Session& session, std::string_view user, Clock::time_point since) {
    return count(session, "SELECT count(*) FROM refused_sign_ins WHERE \"user\" = $1 AND time_ms >= $2",
                 Params().bytes(user).time(since));
}

std::size_t refused_sign_ins_from(Session& session, std::string_view address, Clock::time_point since) {
    return count(session, "SELECT count(*) FROM refused_sign_ins WHERE address = $1 AND time_ms >= $2",
                 Params().text(address).time(since));
}

void forget_refused_sign_ins_before(Session& session, Clock::time_point before) {
    run(session, "DELETE FROM refused_sign_ins WHERE time_ms < $1", Params().time(before),
        "forgetting old refused sign-ins");
}

void append_audit(Session& session, const AuditEntry& entry) {
    run(session, "INSERT INTO audit_log (time_ms, \"user\", address, action, detail) VALUES ($1, $2, $3, $4, $5)",
        Params().time(entry.time).bytes(entry.user).text(entry.address).text(entry.action).bytes(entry.detail),
        "writing the audit log");
}

std::vector<AuditEntry> list_audit(Session& session, std::size_t limit) {
    const Result found =
        session.run("SELECT time_ms, \"user\", address, action, detail FROM audit_log ORDER BY id DESC LIMIT $1",
                    Params().integer(limit_of(limit)), "reading the audit log");
    const PGresult* rows = found.get();
    std::vector<AuditEntry> entries;
    for (int row = 0; row < PQntuples(rows); ++row)
        entries.push_back({from_unix_ms(integer_at(rows, row, 0)), bytes_at(rows, row, 1), bytes_at(rows, row, 2),
                           bytes_at(rows, row, 3), bytes_at(rows, row, 4)});
    return entries;
}

bool add_token(Session& session, std::string_view name, std::string_view token_hash) {
    return run(session,
               "INSERT INTO api_tokens (name, token_hash, created_ms) VALUES ($1, $2, $3) "
               "ON CONFLICT DO NOTHING",
               Params().bytes(name).text(token_hash).time(Clock::now()), "adding an API token") == 1;
}

bool remove_token(Session& session, std::string_view name) {
    return run(session, "DELETE FROM api_tokens WHERE name = $1", Params().bytes(name), "removing an API token") == 1;
}

std::optional<std::string> token_name(Session& session, std::string_view token_hash) {
    return first_bytes(session.run("SELECT name FROM api_tokens WHERE token_hash = $1", Params().text(token_hash),
                                   "finding an API token"));
}

} // namespace lumresults::postgres
