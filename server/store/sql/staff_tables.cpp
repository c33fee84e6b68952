// server/store/sql/staff_tables.cpp: the staff tables' statements: one text each, for every back end.
//
// "user" is quoted: a reserved word in PostgreSQL, a plain name in SQLite. Names and audit details are
// bytes (whatever was typed at a refused sign-in); keys, hashes and addresses are text compared as bytes.
#include "server/store/sql/staff_tables.h"

#include <algorithm>

#include "server/store/sql/conditions.h"

namespace lumresults::sql {

namespace {

// The refusals since `since` that weigh on an attempt: the rows of the name, and those of the caller, each
// index finding its own; the sums split them up. Rows noted before IPv6 callers were counted by /64 name
// the whole address, which is looked for beside the caller until they have left the window (and meanwhile
// count as a caller each).
RefusedSignIns count_refusals(Session& session, std::string_view user, std::string_view caller,
                              std::string_view address, Clock::time_point since) {
    RefusedSignIns found;
    session.query("SELECT sum(CASE WHEN \"user\" = $1 THEN 1 ELSE 0 END), "
                  "max(CASE WHEN \"user\" = $1 THEN time_ms END), "
                  "sum(CASE WHEN \"user\" = $1 AND address IN ($2, $3) THEN 1 ELSE 0 END), "
                  "min(CASE WHEN \"user\" = $1 AND address IN ($2, $3) THEN time_ms END), "
                  "sum(CASE WHEN address IN ($2, $3) THEN 1 ELSE 0 END), "
                  "min(CASE WHEN address IN ($2, $3) THEN time_ms END), "
                  "count(DISTINCT CASE WHEN \"user\" = $1 THEN address END) "
                  "FROM refused_sign_ins WHERE (\"user\" = $1 OR address IN ($2, $3)) AND time_ms >= $4",
                  Params().bytes(user).text(caller).text(address).time(since), "counting refused sign-ins",
                  [&](const Row& row) {
                      const auto when = [&](int column) -> std::optional<Clock::time_point> {
                          if (row.is_null(column)) return std::nullopt;
                          return row.time(column);
                      };
                      const auto count = [&](int column) { return static_cast<std::size_t>(row.integer(column)); };
                      found = {count(0), when(1), count(2), when(3), count(4), when(5), count(6)};
                  });
    return found;
}

} // namespace

std::size_t StaffTables::change(std::string_view sql, const Params& params, std::string_view doing) {
    return write_with(database_, [&](Session& session) { return session.execute(sql, params, doing); });
}

bool StaffTables::add_user(const StaffUser& user) {
    // A name taken changes nothing.
    return change("INSERT INTO staff_users (name, password_hash, created_ms, roles) VALUES ($1, $2, $3, $4) "
                  "ON CONFLICT DO NOTHING",
                  Params().bytes(user.name).text(user.password_hash).time(Clock::now()).integer(user.roles.bits()),
                  "adding a staff user") == 1;
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
    // Its sessions go with it, in the same transaction.
    bool removed = false;
    database_.transaction([&](Session& session) {
        removed = session.execute("DELETE FROM staff_users WHERE name = $1", Params().bytes(name),
                                  "removing a staff user") == 1;
        session.execute("DELETE FROM staff_sessions WHERE \"user\" = $1", Params().bytes(name),
                        "ending a user's sessions");
    });
    return removed;
}

std::optional<StaffUser> StaffTables::find_user(std::string_view name) {
    std::optional<StaffUser> found;
    database_.read([&](Session& session) {
        session.query("SELECT name, password_hash, roles FROM staff_users WHERE name = $1", Params().bytes(name),
                      "finding a staff user", [&](const Row& row) {
                          found = StaffUser{row.bytes(0), row.bytes(1), Roles::from_bits(row.integer(2))};
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
    Params params;
    params.text(session.key).bytes(session.user).text(session.csrf).time(session.created).time(session.last_seen);
    params.integer(session.roles.bits())
        .integer(session.checked ? std::optional(to_unix_ms(*session.checked)) : std::nullopt);
    change("INSERT INTO staff_sessions (key, \"user\", csrf, created_ms, last_seen_ms, roles, checked_ms) "
           "VALUES ($1, $2, $3, $4, $5, $6, $7)",
           params, "storing a session");
}

std::optional<StaffSession> StaffTables::find_session(std::string_view key) {
    std::optional<StaffSession> found;
    database_.read([&](Session& session) {
        session.query("SELECT key, \"user\", csrf, created_ms, last_seen_ms, roles, checked_ms "
                      "FROM staff_sessions WHERE key = $1",
                      Params().text(key), "finding a session", [&](const Row& row) {
                          found = StaffSession{row.bytes(0), row.bytes(1), row.bytes(2),
                                               row.time(3),  row.time(4),  Roles::from_bits(row.integer(5)),
                                               std::nullopt};
                          if (!row.is_null(6)) found->checked = row.time(6);
                      });
    });
    return found;
}

void StaffTables::touch_session(std::string_view key, Clock::time_point seen) {
    // Never back in time: two requests of one session may end in either order.
    change("UPDATE staff_sessions SET last_seen_ms = $2 WHERE key = $1 AND last_seen_ms < $2",
           Params().text(key).time(seen), "noting a session's use");
}

void StaffTables::recheck_session(std::string_view key, Roles roles, Clock::time_point checked) {
    change("UPDATE staff_sessions SET roles = $2, checked_ms = $3 WHERE key = $1",
           Params().text(key).integer(roles.bits()).time(checked), "noting a directory check");
}

void StaffTables::delete_session(std::string_view key) {
    change("DELETE FROM staff_sessions WHERE key = $1", Params().text(key), "ending a session");
}

std::size_t StaffTables::delete_sessions_idle_since(Clock::time_point last_seen_before) {
    return change("DELETE FROM staff_sessions WHERE last_seen_ms < $1", Params().time(last_seen_before),
                  "ending idle sessions");
}

bool StaffTables::take_sign_in_place(const SignInAttempt& attempt, Clock::time_point since,
                                     const std::function<bool(const RefusedSignIns&)>& may_try) {
    // A held attempt is answered from a plain read, writing nothing, as a flood of them should be: the
    // counts only grow until their rows leave the window, unless a right password gives a place back.
    const RefusedSignIns seen = read_with(database_, [&](Session& session) {
        return count_refusals(session, attempt.user, attempt.caller, attempt.address, since);
    });
    if (!may_try(seen)) return false;
    bool placed = false;
    database_.transaction([&](Session& session) {
        // The name's row and then the caller's, always in that order, so that two attempts never wait for
        // each other both ways. Upserted, so that the first attempt makes them; locked until the transaction
        // ends, so that an attempt of the same name or caller counts only after this one's place is noted
        // (on PostgreSQL; SQLite's one writer holds the file already).
        const std::pair<std::string_view, std::string_view> turns[] = {{"user", attempt.user},
                                                                       {"caller", attempt.caller}};
        for (const auto& [kind, key] : turns)
            session.execute("INSERT INTO sign_in_turns (kind, key, time_ms) VALUES ($1, $2, $3) "
                            "ON CONFLICT (kind, key) DO UPDATE SET time_ms = excluded.time_ms",
                            Params().text(kind).bytes(key).time(attempt.time), "taking a sign-in's turn");
        placed = may_try(count_refusals(session, attempt.user, attempt.caller, attempt.address, since));
        if (placed)
            session.execute(
                "INSERT INTO refused_sign_ins (\"user\", address, time_ms, attempt) VALUES ($1, $2, $3, $4)",
                Params().bytes(attempt.user).text(attempt.caller).time(attempt.time).text(attempt.key),
                "noting a sign-in's place");
    });
    return placed;
}

void StaffTables::give_back_sign_in_place(const SignInAttempt& attempt) {
    change("DELETE FROM refused_sign_ins WHERE \"user\" = $1 AND time_ms = $2 AND attempt = $3",
           Params().bytes(attempt.user).time(attempt.time).text(attempt.key), "giving back a sign-in's place");
}

void StaffTables::note_refused_sign_in(std::string_view user, std::string_view caller, Clock::time_point time) {
    change("INSERT INTO refused_sign_ins (\"user\", address, time_ms) VALUES ($1, $2, $3)",
           Params().bytes(user).text(caller).time(time), "noting a refused sign-in");
}

RefusedSignIns StaffTables::refused_sign_ins(std::string_view user, std::string_view caller, Clock::time_point since) {
    return read_with(database_, [&](Session& session) { return count_refusals(session, user, caller, caller, since); });
}

void StaffTables::forget_refused_sign_ins_before(Clock::time_point before) {
    change("DELETE FROM refused_sign_ins WHERE time_ms < $1", Params().time(before), "forgetting refused sign-ins");
    // One kind at a time: a statement that locked callers' rows and then waited for a name's could meet an
    // attempt holding that name and waiting for one of those callers.
    for (const std::string_view kind : {"caller", "user"})
        change("DELETE FROM sign_in_turns WHERE kind = $1 AND time_ms < $2", Params().text(kind).time(before),
               "forgetting sign-ins' turns");
}

void StaffTables::append_audit(const AuditEntry& entry) {
    change("INSERT INTO audit_log (time_ms, \"user\", address, action, detail, repeats, last_ms, other_users) "
           "VALUES ($1, $2, $3, $4, $5, $6, $7, $8)",
           Params()
               .time(entry.time)
               .bytes(entry.user)
               .text(entry.address)
               .text(entry.action)
               .bytes(entry.detail)
               .integer(static_cast<std::int64_t>(entry.repeats))
               .time(std::max(entry.time, entry.last))
               .boolean(entry.other_users),
           "writing the audit log");
}

void StaffTables::repeat_audit(const AuditEntry& entry, Clock::time_point since) {
    // One transaction: on SQLite the writer's lock makes the look and the write one step.
    std::size_t counted = 0;
    database_.transaction([&](Session& session) {
        counted = session.execute(
            "UPDATE audit_log SET repeats = repeats + 1, last_ms = $4, other_users = (other_users OR \"user\" <> $5) "
            "WHERE id = (SELECT max(id) FROM audit_log WHERE address = $1 AND action = $2 AND detail = $3 "
            "AND time_ms >= $6)",
            Params()
                .text(entry.address)
                .text(entry.action)
                .bytes(entry.detail)
                .time(entry.time)
                .bytes(entry.user)
                .time(since),
            "counting a repeat in the audit log");
    });
    if (counted == 0) append_audit(entry);
}

std::vector<AuditEntry> StaffTables::list_audit(std::size_t limit) {
    Params params;
    const std::string sql = "SELECT time_ms, \"user\", address, action, detail, repeats, last_ms, other_users "
                            "FROM audit_log ORDER BY id DESC" +
                            limit_sql(limit, params);
    std::vector<AuditEntry> entries;
    database_.read([&](Session& session) {
        session.query(sql, params, "reading the audit log", [&](const Row& row) {
            entries.push_back({row.time(0), row.bytes(1), row.bytes(2), row.bytes(3), row.bytes(4),
                               static_cast<std::uint64_t>(row.integer(5)), row.time(6), row.integer(7) != 0});
        });
    });
    return entries;
}

std::size_t StaffTables::delete_audit_before(Clock::time_point before) {
    return change("DELETE FROM audit_log WHERE time_ms < $1", Params().time(before), "deleting old audit lines");
}

bool StaffTables::add_token(std::string_view name, std::string_view token_hash, Roles roles) {
    return change("INSERT INTO api_tokens (name, token_hash, created_ms, roles) VALUES ($1, $2, $3, $4) "
                  "ON CONFLICT DO NOTHING",
                  Params().bytes(name).text(token_hash).time(Clock::now()).integer(roles.bits()),
                  "adding an API token") == 1;
}

bool StaffTables::remove_token(std::string_view name) {
    return change("DELETE FROM api_tokens WHERE name = $1", Params().bytes(name), "removing an API token") == 1;
}

std::optional<ApiToken> StaffTables::find_token(std::string_view token_hash) {
    std::optional<ApiToken> found;
    database_.read([&](Session& session) {
        session.query("SELECT name, roles FROM api_tokens WHERE token_hash = $1", Params().text(token_hash),
                      "finding an API token", [&](const Row& row) {
                          found = ApiToken{row.bytes(0), Roles::from_bits(row.integer(1))};
                      });
    });
    return found;
}

std::string StaffTables::shared_secret(std::string_view name, std::string_view candidate) {
    // Insert if absent, then read: whichever instance got there first, all read the same row.
    change("INSERT INTO server_secrets (name, secret, created_ms) VALUES ($1, $2, $3) ON CONFLICT DO NOTHING",
           Params().text(name).bytes(candidate).time(Clock::now()), "keeping a shared secret");
    std::optional<std::string> kept;
    database_.read([&](Session& session) {
        session.query("SELECT secret FROM server_secrets WHERE name = $1", Params().text(name),
                      "reading a shared secret", [&](const Row& row) { kept = row.bytes(0); });
    });
    if (!kept) throw StoreError("the shared secret " + std::string(name) + " is missing after it was kept");
    return *kept;
}

} // namespace lumresults::sql
