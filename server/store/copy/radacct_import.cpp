// server/store/copy/radacct_import.cpp: radacct's rows read a page at a time and put as accounting records.
#include "server/store/copy/radacct_import.h"

#include "server/net/ip_address.h"
#include "server/store/postgres/pg_pool.h"
#include "server/store/postgres/pg_session.h"

#include <array>

namespace lumresults {
namespace {

constexpr std::int64_t PAGE = 1000;

// Times as Unix milliseconds and addresses as text, so that no PostgreSQL type needs reading here.
constexpr const char* PAGE_SQL =
    "SELECT radacctid, acctsessionid, coalesce(username, ''), host(nasipaddress), coalesce(nasportid, ''), "
    "coalesce(callingstationid, ''), coalesce(host(framedipaddress), ''), coalesce(framedipv6prefix::text, ''), "
    "coalesce(delegatedipv6prefix::text, ''), (extract(epoch FROM acctstarttime) * 1000)::bigint, "
    "(extract(epoch FROM acctupdatetime) * 1000)::bigint, (extract(epoch FROM acctstoptime) * 1000)::bigint, "
    "coalesce(acctterminatecause, '') FROM radacct WHERE radacctid > $1 ORDER BY radacctid LIMIT $2";

// Acct-Terminate-Cause's names as FreeRADIUS writes them, in RFC 2866's order (1 to 18).
std::optional<std::int64_t> cause_number(const std::string& name) {
    static constexpr std::array<const char*, 18> NAMES = {
        "User-Request",   "Lost-Carrier",   "Lost-Service",   "Idle-Timeout",       "Session-Timeout",
        "Admin-Reset",    "Admin-Reboot",   "Port-Error",     "NAS-Error",          "NAS-Request",
        "NAS-Reboot",     "Port-Unneeded",  "Port-Preempted", "Port-Suspended",     "Service-Unavailable",
        "Callback",       "User-Error",     "Host-Request"};
    for (std::size_t i = 0; i < NAMES.size(); ++i)
        if (name == NAMES[i]) return static_cast<std::int64_t>(i + 1);
    return std::nullopt;
}

// "2001:db8::/56" as the packet reader writes it; "" for anything else.
std::string prefix_text(const std::string& text) {
    const std::size_t slash = text.find('/');
    const std::optional<IpAddress> address = parse_address(text.substr(0, slash));
    if (!address || slash == std::string::npos) return {};
    return format_address(*address) + text.substr(slash);
}

// The records a row stands for, in the order they happened.
std::vector<AccountingRecord> records_of(const sql::Row& row) {
    AccountingRecord base;
    base.session_id = row.bytes(1);
    base.user_name = row.bytes(2);
    base.node_address = row.bytes(3);
    base.port_id = row.bytes(4);
    base.calling_station = row.bytes(5);
    base.ipv4 = row.bytes(6);
    for (const int column : {7, 8})
        if (std::string prefix = prefix_text(row.bytes(column)); !prefix.empty()) base.ipv6_prefixes.push_back(prefix);
    std::vector<AccountingRecord> records;
    const auto add = [&](int column, std::uint32_t status) {
        if (row.is_null(column)) return;
        AccountingRecord record = base;
        record.status = status;
        record.event = row.time(column);
        if (status == 2) record.cause = cause_number(row.bytes(12));
        records.push_back(std::move(record));
    };
    add(9, 1);
    if (row.optional_integer(10) != row.optional_integer(9)) add(10, 3);
    add(11, 2);
    return records;
}

} // namespace

ImportCounts import_radacct(const std::string& url, SessionStore& store) {
    postgres::Session source(url, postgres::describe_database(url));
    ImportCounts counts;
    for (std::int64_t after = 0;;) {
        std::vector<AccountingRecord> records;
        const std::size_t rows = source.query(PAGE_SQL, sql::Params().integer(after).integer(PAGE),
                                              "reading FreeRADIUS's radacct", [&](const sql::Row& row) {
                                                  after = row.integer(0);
                                                  for (AccountingRecord& record : records_of(row))
                                                      records.push_back(std::move(record));
                                              });
        counts.rows += rows;
        if (!records.empty())
            for (const AccountingOutcome outcome : store.put_accounting(records))
                ++(outcome == AccountingOutcome::repeat ? counts.repeats : counts.recorded);
        if (rows < static_cast<std::size_t>(PAGE)) return counts;
    }
}

} // namespace lumresults
