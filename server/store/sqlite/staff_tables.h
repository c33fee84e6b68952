// server/store/sqlite/staff_tables.h: staff users, their sessions, refused sign-ins, the audit log and API tokens.
#pragma once

#include "server/store/sqlite/sqlite_handles.h"
#include "server/store/store.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumresults::sqlite {

// Each call is one statement, so all or nothing by itself; writes need the writer's connection.
bool add_user(sqlite3* db, const StaffUser& user);
bool set_password(sqlite3* db, std::string_view name, std::string_view password_hash);
bool remove_user(sqlite3* db, std::string_view name);
std::optional<StaffUser> find_user(sqlite3* db, std::string_view name);
std::vector<std::string> list_users(sqlite3* db);

void put_session(sqlite3* db, const StaffSession& session);
std::optional<StaffSession> find_session(sqlite3* db, std::string_view key);
void touch_session(sqlite3* db, std::string_view key, Clock::time_point seen);
void delete_session(sqlite3* db, std::string_view key);
std::size_t delete_sessions_idle_since(sqlite3* db, Clock::time_point last_seen_before);

void note_refused_sign_in(sqlite3* db, std::string_view user, std::string_view address, Clock::time_point time);
std::size_t refused_sign_ins_of_user(sqlite3* db, std::string_view user, Clock::time_point since);
std::size_t refused_sign_ins_from(sqlite3* db, std::string_view address, Clock::time_point since);
void forget_refused_sign_ins_before(sqlite3* db, Clock::time_point before);

void append_audit(sqlite3* db, const AuditEntry& entry);
std::vector<AuditEntry> list_audit(sqlite3* db, std::size_t limit);

bool add_token(sqlite3* db, std::string_view name, std::string_view token_hash);
bool remove_token(sqlite3* db, std::string_view name);
std::optional<std::string> token_name(sqlite3* db, std::string_view token_hash);

} // namespace lumresults::sqlite
