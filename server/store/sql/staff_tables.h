// server/store/sql/staff_tables.h: the staff tables' statements, written once for every back end.
#pragma once

#include "server/store/sql/database.h"

namespace lumresults::sql {

class StaffTables : public virtual StaffStore {
public:
    explicit StaffTables(Database& database) : database_(database) {}

    bool add_user(const StaffUser& user) override;
    bool set_password(std::string_view name, std::string_view password_hash) override;
    bool remove_user(std::string_view name) override;
    std::optional<StaffUser> find_user(std::string_view name) override;
    std::vector<std::string> list_users() override;

    void put_session(const StaffSession& session) override;
    std::optional<StaffSession> find_session(std::string_view key) override;
    void touch_session(std::string_view key, Clock::time_point seen) override;
    void recheck_session(std::string_view key, Roles roles, Clock::time_point checked) override;
    void delete_session(std::string_view key) override;
    std::size_t delete_sessions_idle_since(Clock::time_point last_seen_before) override;

    bool take_sign_in_place(const SignInAttempt& attempt, Clock::time_point since,
                            const std::function<bool(const RefusedSignIns&)>& may_try) override;
    void give_back_sign_in_place(const SignInAttempt& attempt) override;
    void note_refused_sign_in(std::string_view user, std::string_view caller, Clock::time_point time) override;
    RefusedSignIns refused_sign_ins(std::string_view user, std::string_view caller, Clock::time_point since) override;
    void forget_refused_sign_ins_before(Clock::time_point before) override;

    void append_audit(const AuditEntry& entry) override;
    void repeat_audit(const AuditEntry& entry, Clock::time_point since) override;
    std::vector<AuditEntry> list_audit(std::size_t limit) override;
    std::size_t delete_audit_before(Clock::time_point before) override;

    bool add_token(std::string_view name, std::string_view token_hash, Roles roles) override;
    bool remove_token(std::string_view name) override;
    std::optional<ApiToken> find_token(std::string_view token_hash) override;

    std::string shared_secret(std::string_view name, std::string_view candidate) override;

private:
    // Runs a statement that writes; returns how many rows it changed.
    std::size_t change(std::string_view sql, const Params& params, std::string_view doing);

    Database& database_;
};

} // namespace lumresults::sql
