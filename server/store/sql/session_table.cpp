// server/store/sql/session_table.cpp: accounting records into sessions, repeats recognised by content, and the
// session that held an address at a time.
#include "server/store/sql/session_table.h"

#include "server/net/ip_address.h"
#include "server/store/sql/forget_rows.h"

#include <sstream>

namespace lumresults::sql {
namespace {

// A retransmission without Event-Timestamp has its event time worked out again from a larger
// Acct-Delay-Time, whole seconds against this server's milliseconds: the two may differ by up to this.
constexpr std::chrono::milliseconds SAME_EVENT{2000};

constexpr std::uint32_t STOP = 2, ACCOUNTING_ON = 7, ACCOUNTING_OFF = 8;

std::string joined(const std::vector<std::string>& prefixes) {
    std::string text;
    for (const std::string& prefix : prefixes)
        text += (text.empty() ? "" : " ") + prefix;
    return text;
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// Notes the record's event; false when the same event of the same session was noted before (a repeat).
bool first_time(Session& session, const AccountingRecord& record) {
    const Params key = Params()
                           .text(record.node_address)
                           .bytes(record.node_id)
                           .bytes(record.session_id)
                           .integer(record.status)
                           .time(record.event - SAME_EVENT)
                           .time(record.event + SAME_EVENT);
    const bool seen = single_integer(session,
                                     "SELECT 1 FROM accounting_events WHERE node_address = $1 AND node_id = $2 AND "
                                     "session_id = $3 AND status = $4 AND event_ms BETWEEN $5 AND $6 LIMIT 1",
                                     key, "looking for a repeated accounting record")
                          .has_value();
    if (seen) return false;
    session.execute("INSERT INTO accounting_events (node_address, node_id, session_id, status, event_ms) "
                    "VALUES ($1, $2, $3, $4, $5)",
                    Params()
                        .text(record.node_address)
                        .bytes(record.node_id)
                        .bytes(record.session_id)
                        .integer(record.status)
                        .time(record.event),
                    "noting an accounting record");
    return true;
}

// Accounting-On or -Off: the node restarted, so none of its sessions is still open.
void stop_node(Session& session, const AccountingRecord& record) {
    session.execute("UPDATE subscriber_sessions SET stop_ms = $3 WHERE node_address = $1 AND "
                    "node_id = $2 AND stop_ms IS NULL AND start_ms <= $3",
                    Params().text(record.node_address).bytes(record.node_id).time(record.event),
                    "stopping a restarted node's sessions");
}

// A field the record leaves empty keeps what an earlier record said.
constexpr const char* UPSERT_SESSION = R"sql(
INSERT INTO subscriber_sessions (node_address, node_id, session_id, user_name, port_id, calling_station, ipv4,
    ipv6_prefixes, start_ms, update_ms, stop_ms, cause)
VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $9, $10, $11)
ON CONFLICT (node_address, node_id, session_id) DO UPDATE SET
    user_name = CASE WHEN length(excluded.user_name) > 0 THEN excluded.user_name ELSE subscriber_sessions.user_name END,
    port_id = CASE WHEN length(excluded.port_id) > 0 THEN excluded.port_id ELSE subscriber_sessions.port_id END,
    calling_station = CASE WHEN length(excluded.calling_station) > 0 THEN excluded.calling_station
                      ELSE subscriber_sessions.calling_station END,
    ipv4 = CASE WHEN length(excluded.ipv4) > 0 THEN excluded.ipv4 ELSE subscriber_sessions.ipv4 END,
    ipv6_prefixes = CASE WHEN length(excluded.ipv6_prefixes) > 0 THEN excluded.ipv6_prefixes
                    ELSE subscriber_sessions.ipv6_prefixes END,
    start_ms = CASE WHEN excluded.start_ms < subscriber_sessions.start_ms THEN excluded.start_ms
               ELSE subscriber_sessions.start_ms END,
    update_ms = CASE WHEN excluded.update_ms > subscriber_sessions.update_ms THEN excluded.update_ms
                ELSE subscriber_sessions.update_ms END,
    stop_ms = COALESCE(excluded.stop_ms, subscriber_sessions.stop_ms),
    cause = COALESCE(excluded.cause, subscriber_sessions.cause)
RETURNING id, start_ms
)sql";

// Reports that came from the session's IPv4 address while it held it, before the session was known: found
// by the reports' (caller, received) index.
void link_reports_of(Session& session, std::int64_t id) {
    session.execute("INSERT INTO report_subscribers (report_id, user_name, node_address, node_id, port_id, "
                    "session_start_ms, received_ms) SELECT r.id, s.user_name, s.node_address, s.node_id, s.port_id, "
                    "s.start_ms, r.received_ms FROM subscriber_sessions s JOIN reports r ON r.caller = s.ipv4 "
                    "WHERE s.id = $1 AND r.received_ms >= s.start_ms AND (s.stop_ms IS NULL OR r.received_ms <= "
                    "s.stop_ms) ON CONFLICT DO NOTHING",
                    Params().integer(id), "linking reports to a late session");
}

// Start, Interim-Update or Stop: the session made or brought up to date, and its addresses indexed under its
// start (moved back when an earlier event arrives late).
void update_session(Session& session, const AccountingRecord& record) {
    const bool stop = record.status == STOP;
    std::int64_t id = 0, start_ms = 0;
    session.query(UPSERT_SESSION,
                  Params()
                      .text(record.node_address)
                      .bytes(record.node_id)
                      .bytes(record.session_id)
                      .bytes(record.user_name)
                      .bytes(record.port_id)
                      .bytes(record.calling_station)
                      .text(record.ipv4)
                      .text(joined(record.ipv6_prefixes))
                      .time(record.event)
                      .integer(stop ? std::optional(to_unix_ms(record.event)) : std::nullopt)
                      .integer(record.cause),
                  "keeping a subscriber's session", [&](const Row& row) {
                      id = row.integer(0);
                      start_ms = row.integer(1);
                  });
    std::vector<std::string> addresses = record.ipv6_prefixes;
    if (!record.ipv4.empty()) addresses.push_back(record.ipv4);
    for (const std::string& address : addresses)
        session.execute("INSERT INTO session_addresses (address, start_ms, session) VALUES ($1, $2, $3) "
                        "ON CONFLICT DO NOTHING",
                        Params().text(address).integer(start_ms).integer(id), "indexing a session's address");
    session.execute("UPDATE session_addresses SET start_ms = $2 WHERE session = $1 AND start_ms > $2",
                    Params().integer(id).integer(start_ms), "moving a session's start back");
    if (!record.ipv4.empty()) link_reports_of(session, id);
}

// The keys an address is indexed under: itself (IPv4), or the prefixes from /64 to /32 holding it (IPv6),
// written as the packet reader writes them.
std::vector<std::string> address_keys(std::string_view text) {
    const std::optional<IpAddress> address = parse_address(text);
    if (!address) return {};
    if (address->is_v4()) return {format_address(*address)};
    std::vector<std::string> keys;
    for (unsigned length = 64; length >= 32; length -= 4) {
        IpAddress network = *address;
        for (unsigned bit = length; bit < 128; ++bit)
            network.bytes[bit / 8] &= static_cast<std::uint8_t>(~(0x80u >> (bit % 8)));
        keys.push_back(format_address(network) + "/" + std::to_string(length));
    }
    return keys;
}

// The session that held the address at the time ($1): of the latest start at or before it among the
// address's keys, an index seek each on (address, start_ms). Its columns are SESSION_COLUMNS.
constexpr const char* SESSION_COLUMNS = "s.id, s.node_address, s.node_id, s.session_id, s.user_name, s.port_id, "
                                        "s.calling_station, s.ipv4, s.ipv6_prefixes, s.start_ms, s.update_ms, "
                                        "s.stop_ms, s.cause";
std::string holder_sql(const std::vector<std::string>& keys, Params& params) {
    std::string sql = std::string("SELECT ") + SESSION_COLUMNS + " FROM (";
    for (std::size_t i = 0; i < keys.size(); ++i) {
        params.text(keys[i]);
        sql += std::string(i ? " UNION ALL " : "") + "SELECT * FROM (SELECT session, start_ms FROM session_addresses "
               "WHERE address = " + params.last() + " AND start_ms <= $1 ORDER BY start_ms DESC LIMIT 1) k" +
               std::to_string(i);
    }
    return sql + ") a JOIN subscriber_sessions s ON s.id = a.session ORDER BY a.start_ms DESC, s.id DESC LIMIT 1";
}

SubscriberSession session_of(const Row& row) {
    SubscriberSession found;
    found.id = row.integer(0);
    found.node_address = row.bytes(1);
    found.node_id = row.bytes(2);
    found.session_id = row.bytes(3);
    found.user_name = row.bytes(4);
    found.port_id = row.bytes(5);
    found.calling_station = row.bytes(6);
    found.ipv4 = row.bytes(7);
    found.ipv6_prefixes = split(row.bytes(8));
    found.start = row.time(9);
    found.last_update = row.time(10);
    if (!row.is_null(11)) found.stop = row.time(11);
    found.cause = row.optional_integer(12);
    return found;
}

// The holder as of `when`, unless its session had stopped by then.
std::optional<SubscriberSession> holder_at(Session& session, std::string_view address, Clock::time_point when) {
    const std::vector<std::string> keys = address_keys(address);
    if (keys.empty()) return std::nullopt;
    Params params;
    params.time(when);
    std::optional<SubscriberSession> found;
    session.query(holder_sql(keys, params), params, "finding who held an address",
                  [&](const Row& row) { found = session_of(row); });
    if (found && found->stop && *found->stop < when) return std::nullopt;
    return found;
}

} // namespace

std::vector<AccountingOutcome> SessionTable::put_accounting(const std::vector<AccountingRecord>& batch) {
    std::vector<AccountingOutcome> outcomes;
    // One transaction for the batch: durable when it returns (see Database::transaction), before any answer.
    database_.transaction([&](Session& session) {
        outcomes.clear(); // a retried transaction starts again
        for (const AccountingRecord& record : batch) {
            if (!first_time(session, record)) {
                outcomes.push_back(AccountingOutcome::repeat);
                continue;
            }
            if (record.status == ACCOUNTING_ON || record.status == ACCOUNTING_OFF)
                stop_node(session, record);
            else
                update_session(session, record);
            outcomes.push_back(AccountingOutcome::recorded);
        }
    });
    return outcomes;
}

std::optional<SubscriberSession> SessionTable::session_at(std::string_view address, Clock::time_point when) {
    std::optional<SubscriberSession> found;
    database_.read([&](Session& session) { found = holder_at(session, address, when); });
    return found;
}

void link_report(Session& session, std::int64_t report_id) {
    std::optional<std::pair<std::string, Clock::time_point>> report;
    session.query("SELECT caller, received_ms FROM reports WHERE id = $1", Params().integer(report_id),
                  "finding a report to link", [&](const Row& row) { report.emplace(row.bytes(0), row.time(1)); });
    if (!report) return;
    const std::optional<SubscriberSession> holder = holder_at(session, report->first, report->second);
    if (!holder) return;
    session.execute("INSERT INTO report_subscribers (report_id, user_name, node_address, node_id, port_id, "
                    "session_start_ms, received_ms) VALUES ($1, $2, $3, $4, $5, $6, $7) ON CONFLICT DO NOTHING",
                    Params()
                        .integer(report_id)
                        .bytes(holder->user_name)
                        .text(holder->node_address)
                        .bytes(holder->node_id)
                        .bytes(holder->port_id)
                        .time(holder->start)
                        .time(report->second),
                    "linking a report to its session");
}

std::optional<ReportSubscriber> subscriber_at(const Row& row, int first) {
    if (row.is_null(first)) return std::nullopt;
    return ReportSubscriber{row.bytes(first), row.bytes(first + 1), row.bytes(first + 2), row.bytes(first + 3),
                            row.time(first + 4)};
}

std::optional<ReportSubscriber> SessionTable::report_subscriber(std::int64_t report_id) {
    std::optional<ReportSubscriber> found;
    database_.read([&](Session& session) {
        session.query(std::string("SELECT ") + SUBSCRIBER_COLUMNS + " FROM report_subscribers s WHERE s.report_id = $1",
                      Params().integer(report_id), "finding a report's subscriber",
                      [&](const Row& row) { found = subscriber_at(row, 0); });
    });
    return found;
}

ForgetCounts SessionTable::forget(const ForgetWhom& whom) {
    ForgetCounts counts;
    database_.transaction([&](Session& session) { counts = forget_rows(session, whom); });
    return counts;
}

std::size_t SessionTable::delete_sessions_before(Clock::time_point before) {
    return write_with(database_, [&](Session& session) {
        session.execute("DELETE FROM accounting_events WHERE event_ms < $1", Params().time(before),
                        "deleting old accounting records");
        return session.execute("DELETE FROM subscriber_sessions WHERE update_ms < $1", Params().time(before),
                               "deleting old sessions");
    });
}

} // namespace lumresults::sql
