// server/store/sql/staff_tables.cpp: the staff tables' statements: one text each, for every back end.
//
// "user" is quoted: a reserved word in PostgreSQL, a plain name in SQLite. Names and audit details are
// bytes (whatever was typed at a refused sign-in); keys, hashes and addresses are text compared as bytes.
#include "server/store/sql/staff_tables.h"

#include "server/store/sql/conditions.h"

namespace lumresults::sql {

std::size_t StaffTables::change(std::string_view sql, const Params& params, std::string_view doing) {
    return write_with(database_, [&](Session& session) { return session.execute(sql, params, doing); });
}

std::size_t StaffTables::count(std::string_view sql, const Params& params) {
    return static_cast<std::size_t>(read_with(database_, [&](Session& session) {
        return single_integer(session, sql, params, "counting refused sign-ins").value_or(0);
    }));
}

bool StaffTables::add_user(const StaffUser& user) {
    // A name taken changes nothing.
    return change("INSERT INTO staff_users (name, password_hash, created_ms) VALUES ($1, $2, $3) "
                  "ON CONFLICT DO NOTHING",
                  Params().bytes(user.name).text(user.password_hash).time(Clock::now()), "adding a staff user") == 1;
}

bool StaffTables::set_password(std::string_view name, std::string_view password_hash) {
    // A new password ends every session made with the old one.
    bool changed = false;
    database_.transaction([&](Session& session) {
        changed = session.execute("UPDATE staff_users SET password_hash = $2 WHERE name = $1",
                                  Params().bytes(name).text(password_hash), "setting a password") == 1;
        session.execute("DELETE FROM staff_sessions WHERE \"user\" = $1", Params().bytes(name),
                        "ending a user's sessions");
    });
    return changed;
}

bool StaffTables::remove_user(std::string_view name) {
    // Its sessions go with it (ON DELETE CASCADE).
    return change("DELETE FROM staff_users WHERE name = $1", Params().bytes(name), "removing a staff user") == 1;
}

std::optional<StaffUser> StaffTables::find_user(std::string_view name) {
    std::optional<StaffUser> found;
    database_.read([&](Session& session) {
        session.query("SELECT name, password_hash FROM staff_users WHERE name = $1", Params().bytes(name),
                      "finding a staff user", [&](const Row& row) {
                          found = StaffUser{row.bytes(0), row.bytes(1)};
                      });
    });
    return found;
}

std::vector<std::string> StaffTables::list_users() {
    // Bytes order alike in both back ends: by bytes, the shorter first on a tie.
    std::vector<std::string> names;
    database_.read([&](Session& session) {
        session.query("SELECT name FROM staff_users ORDER BY name", Params(), "listing staff users",
                      [&](const Row& row) { names.push_back(row.bytes(0)); });
    });
    return names;
}

void StaffTables::put_session(const StaffSession& session) {
    change(
        "INSERT INTO staff_sessions (key, \"user\", csrf, created_ms, last_seen_ms) VALUES ($1, $2, $3, $4, $5)",
        Params().text(session.key).bytes(session.user).text(session.csrf).time(session.created).time(session.last_seen),
        "storing a session");
}

std::optional<StaffSession> StaffTables::find_session(std::string_view key) {
    std::optional<StaffSession> found;
    database_.read([&](Session& session) {
        session.query("SELECT key, \"user\", csrf, created_ms, last_seen_ms FROM staff_sessions WHERE key = $1",
                      Params().text(key), "finding a session", [&](const Row& row) {
                          found = StaffSession{row.bytes(0), row.bytes(1), row.bytes(2), row.time(3), row.time(4)};
                      });
    });
    return found;
}

void StaffTables::touch_session(std::string_view key, Clock::time_point seen) {
    // Never back in time: two requests of one session may end in either order.
    change("UPDATE staff_sessions SET last_seen_ms = $2 WHERE key = $1 AND last_seen_ms < $2",
           Params().text(key).time(seen), "noting a session's use");
}

void StaffTables::delete_session(std::string_view key) {
    change("DELETE FROM staff_sessions WHERE key = $1", Params().text(key), "ending a session");
}

std::size_t StaffTables::delete_sessions_idle_since(Clock::time_point last_seen_before) {
    return change("DELETE FROM staff_sessions WHERE last_seen_ms < $1", Params().time(last_seen_before),
                  "ending idle sessions");
}

void StaffTables::note_refused_sign_in(std::string_view user, std::string_view address, Clock::time_point time) {
    change("INSERT INTO refused_sign_ins (\"user\", address, time_ms) VALUES ($1, $2, $3)",
           Params().bytes(user).text(address).time(time), "noting a refused sign-in");
}

std::size_t StaffTables::refused_sign_ins_of_user(std::string_view user, Clock::time_point since) {
    return count("SELECT count(*) FROM refused_sign_ins WHERE \"user\" = $1 AND time_ms >= $2",
                 Params().bytes(user).time(since));
}

std::size_t StaffTables::refused_sign_ins_from(std::string_view address, Clock::time_point since) {
    return count("SELECT count(*) FROM refused_sign_ins WHERE address = $1 AND time_ms >= $2",
                 Params().text(address).time(since));
}

void StaffTables::forget_refused_sign_ins_before(Clock::time_point before) {
    change("DELETE FROM refused_sign_ins WHERE time_ms < $1", Params().time(before), "forgetting refused sign-ins");
}

void StaffTables::append_audit(const AuditEntry& entry) {
    change("INSERT INTO audit_log (time_ms, \"user\", address, action, detail) VALUES ($1, $2, $3, $4, $5)",
           Params().time(entry.time).bytes(entry.user).text(entry.address).text(entry.action).bytes(entry.detail),
           "writing the audit log");
}

std::vector<AuditEntry> StaffTables::list_audit(std::size_t limit) {
    Params params;
    const std::string sql =
        "SELECT time_ms, \"user\", address, action, detail FROM audit_log ORDER BY id DESC" + limit_sql(limit, params);
    std::vector<AuditEntry> entries;
    database_.read([&](Session& session) {
        session.query(sql, params, "reading the audit log", [&](const Row& row) {
            entries.push_back({row.time(0), row.bytes(1), row.bytes(2), row.bytes(3), row.bytes(4)});
        });
    });
    return entries;
}

std::size_t StaffTables::delete_audit_before(Clock::time_point before) {
    return change("DELETE FROM audit_log WHERE time_ms < $1", Params().time(before), "deleting old audit lines");
}

bool StaffTables::add_token(std::string_view name, std::string_view token_hash) {
    return change("INSERT INTO api_tokens (name, token_hash, created_ms) VALUES ($1, $2, $3) ON CONFLICT DO NOTHING",
                  Params().bytes(name).text(token_hash).time(Clock::now()), "adding an API token") == 1;
}

bool StaffTables::remove_token(std::string_view name) {
    return change("DELETE FROM api_tokens WHERE name = $1", Params().bytes(name), "removing an API token") == 1;
}

std::optional<std::string> StaffTables::token_name(std::string_view token_hash) {
    std::optional<std::string> name;
    database_.read([&](Session& session) {
        session.query("SELECT name FROM api_tokens WHERE token_hash = $1", Params().text(token_hash),
                      "finding an API token", [&](const Row& row) { name = row.bytes(0); });
    });
    return name;
}

} // namespace lumresults::sql
