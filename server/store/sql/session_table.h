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
    std::optional<ReportSubscriber> report_subscriber(std::int64_t report_id) override;
    ForgetCounts forget(const ForgetWhom& whom) override;

private:
    Database& database_;
};

// Within a transaction: links the report to the session that held its address when it arrived, if any
// and not linked yet.
void link_report(Session& session, std::int64_t report_id);

// A report's subscriber from the row's columns from `first` on (SUBSCRIBER_COLUMNS of table `s`, as a LEFT
// JOIN of report_subscribers gives them); nothing when the report has none.
inline constexpr const char* SUBSCRIBER_COLUMNS = "s.user_name, s.node_address, s.node_id, s.port_id, s.session_start_ms";
std::optional<ReportSubscriber> subscriber_at(const Row& row, int first);

} // namespace lumresults::sql
