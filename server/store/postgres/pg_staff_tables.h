// server/store/postgres/pg_staff_tables.h: staff users, their sessions, refused sign-ins, the audit log and API tokens.
#pragma once

#include "server/store/postgres/pg_session.h"
#include "server/store/store.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumresults::postgres {

// Each call is one statement, so all or nothing by itself (set_password: one transaction).
bool add_user(Session& session, const StaffUser& user);
bool set_password(Session& session, std::string_view name, std::string_view password_hash);
bool remove_user(Session& session, std::string_view name);
std::optional<StaffUser> find_user(Session& session, std::string_view name);
std::vector<std::string> list_users(Session& session);

void put_session(Session& session, const StaffSession& staff_session);
std::optional<StaffSession> find_session(Session& session, std::string_view key);
void touch_session(Session& session, std::string_view key, Clock::time_point seen);
void delete_session(Session& session, std::string_view key);
std::size_t delete_sessions_idle_since(Session& session, Clock::time_point last_seen_before);

void note_refused_sign_in(Session& session, std::string_view user, std::string_view address, Clock::time_point time);
std::size_t refused_sign_ins_of_user(Session& session, std::string_view user, Clock::time_point since);
std::size_t refused_sign_ins_from(Session& session, std::string_view address, Clock::time_point since);
void forget_refused_sign_ins_before(Session& session, Clock::time_point before);

void append_audit(Session& session, const AuditEntry& entry);
std::vector<AuditEntry> list_audit(Session& session, std::size_t limit);

bool add_token(Session& session, std::string_view name, std::string_view token_hash);
bool remove_token(Session& session, std::string_view name);
std::optional<std::string> token_name(Session& session, std::string_view token_hash);

} // namespace lumresults::postgres
