// server/store/sql/session_table.h: the subscribers' sessions' statements, written once for every back end.
#pragma once

#include "server/store/sql/database.h"

namespace lumresults::sql {

class SessionTable : public virtual SessionStore {
public:
    explicit SessionTable(Database& database) : database_(database) {}

    std::vector<AccountingOutcome> put_accounting(const std::vector<AccountingRecord>& batch) override;
    std::optional<SubscriberSession> session_at(std::string_view address, Clock::time_point when) override;
    std::size_t delete_sessions_before(Clock::time_point before) override;

private:
    Database& database_;
};

} // namespace lumresults::sql
