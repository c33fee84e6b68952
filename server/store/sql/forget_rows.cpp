// server/store/sql/forget_rows.cpp: the statements that erase a subscriber, a computer or an address range.
#include "server/store/sql/forget_rows.h"

namespace lumresults::sql {
namespace {

// Readings, computers, links and (on PostgreSQL) the bytes' pieces go with their reports (ON DELETE CASCADE).
std::size_t delete_reports(Session& session, const std::string& which, const Params& params) {
    return session.execute("DELETE FROM reports WHERE id IN (" + which + ")", params, "forgetting reports");
}

// The sessions' records that recognise repeats go with them, then the sessions (their addresses cascade).
std::size_t delete_sessions(Session& session, const std::string& which, const Params& params) {
    session.execute("DELETE FROM accounting_events WHERE EXISTS (SELECT 1 FROM subscriber_sessions s WHERE s.id IN (" +
                        which + ") AND s.node_address = accounting_events.node_address AND s.node_id = "
                        "accounting_events.node_id AND s.session_id = accounting_events.session_id)",
                    params, "forgetting accounting records");
    return session.execute("DELETE FROM subscriber_sessions WHERE id IN (" + which + ")", params,
                           "forgetting sessions");
}

ForgetCounts forget_subscriber(Session& session, const std::string& name) {
    const Params params = Params().bytes(name);
    ForgetCounts counts;
    counts.reports = delete_reports(session, "SELECT report_id FROM report_subscribers WHERE user_name = $1", params);
    counts.speed_tests = session.execute(
        "DELETE FROM speed_tests WHERE id IN (SELECT t.id FROM subscriber_sessions s JOIN speed_tests t ON "
        "t.caller = s.ipv4 AND t.received_ms >= s.start_ms AND (s.stop_ms IS NULL OR t.received_ms <= s.stop_ms) "
        "WHERE s.user_name = $1)",
        params, "forgetting speed tests");
    counts.sessions = delete_sessions(session, "SELECT id FROM subscriber_sessions WHERE user_name = $1", params);
    return counts;
}

ForgetCounts forget_address(Session& session, const ForgetWhom& whom) {
    const Params params = Params().text(whom.address).time(whom.from).time(whom.to);
    ForgetCounts counts;
    counts.reports = delete_reports(
        session, "SELECT id FROM reports WHERE caller = $1 AND received_ms >= $2 AND received_ms < $3", params);
    counts.speed_tests = session.execute(
        "DELETE FROM speed_tests WHERE caller = $1 AND received_ms >= $2 AND received_ms < $3", params,
        "forgetting speed tests");
    counts.sessions = delete_sessions(session,
                                      "SELECT id FROM subscriber_sessions WHERE ipv4 = $1 AND start_ms < $3 AND "
                                      "(stop_ms IS NULL OR stop_ms >= $2)",
                                      params);
    return counts;
}

} // namespace

ForgetCounts forget_rows(Session& session, const ForgetWhom& whom) {
    if (!whom.subscriber.empty()) return forget_subscriber(session, whom.subscriber);
    if (!whom.address.empty()) return forget_address(session, whom);
    ForgetCounts counts;
    if (!whom.computer_mac.empty())
        counts.reports = delete_reports(
            session, "SELECT report_id FROM report_computers WHERE kind = 'mac' AND value = $1",
            Params().bytes(whom.computer_mac));
    return counts;
}

} // namespace lumresults::sql
