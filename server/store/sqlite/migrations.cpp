// server/store/sqlite/migrations.cpp: the SQLite schema's numbered steps and the one place that applies them.
//
// A step, once released, is never edited: databases in the field have run it. Later tables (derived
// results, sessions, users, tokens, speed tests) come as new steps at the end of the table.
#include "server/store/sqlite/migrations.h"

#include "server/store/sqlite/sqlite_handles.h"
#include "server/store/store.h"

#include <array>
#include <string>

namespace lumresults::sqlite {
namespace {

// Version 1: the reports as received.
// - id AUTOINCREMENT: an id, once given (and quoted to support staff), never names another report, even
//   after reports are deleted.
// - file_name and content_type are blobs: the bytes the form part carried, in whatever encoding.
// - content is the last column, so that listing reads the small columns from the row's first page
//   without following the content's overflow pages.
constexpr const char* reports_v1 = R"sql(
CREATE TABLE reports (
    id           INTEGER PRIMARY KEY AUTOINCREMENT,
    caller       TEXT    NOT NULL,
    received_ms  INTEGER NOT NULL, -- Unix time in milliseconds (UTC), by the server's clock
    file_name    BLOB    NOT NULL,
    content_type BLOB    NOT NULL,
    size         INTEGER NOT NULL CHECK (size >= 0),
    sha256       TEXT    NOT NULL,
    content      BLOB    NOT NULL
);
CREATE INDEX reports_by_caller ON reports (caller, received_ms, id);
CREATE INDEX reports_by_received ON reports (received_ms, id);
)sql";

// Version 2: what the server read back from each report, with the rules that read it. Derived: it goes
// with its report, and `lumresults reanalyse` makes it again.
constexpr const char* readings_v2 = R"sql(
CREATE TABLE report_readings (
    report_id     INTEGER PRIMARY KEY REFERENCES reports (id) ON DELETE CASCADE,
    rules_version INTEGER NOT NULL,
    finished      INTEGER NOT NULL,
    failed_tests  INTEGER NOT NULL, -- bit n-1 set when Test n failed
    release       BLOB    NOT NULL,
    reading       TEXT    NOT NULL  -- JSON
);
CREATE INDEX report_readings_by_rules ON report_readings (rules_version, report_id);
)sql";

// Version 3: who may read the reports. Secrets are kept only as hashes: argon2id for passwords, SHA-256
// for session cookies and API tokens (long random values, which a fast hash suffices for). The audit log
// keeps the user name as typed at a refused sign-in, so it is a blob like every other outside text.
constexpr const char* staff_v3 = R"sql(
CREATE TABLE staff_users (
    name          BLOB PRIMARY KEY,
    password_hash TEXT NOT NULL,
    created_ms    INTEGER NOT NULL
);
CREATE TABLE staff_sessions (
    key          TEXT PRIMARY KEY, -- hex SHA-256 of the cookie's value
    user         BLOB NOT NULL REFERENCES staff_users (name) ON DELETE CASCADE,
    csrf         TEXT NOT NULL,
    created_ms   INTEGER NOT NULL,
    last_seen_ms INTEGER NOT NULL
);
CREATE INDEX staff_sessions_by_user ON staff_sessions (user);
CREATE INDEX staff_sessions_by_last_seen ON staff_sessions (last_seen_ms);
CREATE TABLE refused_sign_ins (
    user    BLOB NOT NULL,
    address TEXT NOT NULL,
    time_ms INTEGER NOT NULL
);
CREATE INDEX refused_sign_ins_by_user ON refused_sign_ins (user, time_ms);
CREATE INDEX refused_sign_ins_by_address ON refused_sign_ins (address, time_ms);
CREATE INDEX refused_sign_ins_by_time ON refused_sign_ins (time_ms);
CREATE TABLE audit_log (
    id      INTEGER PRIMARY KEY AUTOINCREMENT,
    time_ms INTEGER NOT NULL,
    user    BLOB NOT NULL,
    address TEXT NOT NULL,
    action  TEXT NOT NULL,
    detail  BLOB NOT NULL
);
CREATE TABLE api_tokens (
    name       BLOB PRIMARY KEY,
    token_hash TEXT NOT NULL UNIQUE,
    created_ms INTEGER NOT NULL
);
)sql";

// Version 4: the speed-test page's results. Personal data like the reports (the address, the browser);
// a figure is NULL when its phase failed in the browser.
constexpr const char* speed_tests_v4 = R"sql(
CREATE TABLE speed_tests (
    id            INTEGER PRIMARY KEY AUTOINCREMENT,
    caller        TEXT    NOT NULL,
    received_ms   INTEGER NOT NULL, -- Unix time in milliseconds (UTC), by the server's clock
    user_agent    BLOB    NOT NULL,
    download_mbps REAL,
    upload_mbps   REAL,
    latency_ms    REAL,
    jitter_ms     REAL
);
CREATE INDEX speed_tests_by_caller ON speed_tests (caller, received_ms, id);
CREATE INDEX speed_tests_by_received ON speed_tests (received_ms, id);
)sql";

// Version 5: what searches, listings and counts need of a reading, as columns of their own, so that a page
// of results is one statement that never reads the JSON: each test's verdict, the tests whose verdict is
// derived, the figures, and the release line cut to a bounded length. They are NULL in readings made before:
// `lumresults reanalyse` reads those reports again. The table is made anew with the JSON last, where it was added
// columns would follow it, and every row that a search reads would be walked through the JSON's overflow pages to reach
// them.
constexpr const char* reading_columns_v5 = R"sql(
CREATE TABLE report_readings_v5 (
    report_id         INTEGER PRIMARY KEY REFERENCES reports (id) ON DELETE CASCADE,
    verdict_1         INTEGER, -- 0 not reached, 1 OK, 2 failed, 3 skipped
    verdict_2         INTEGER,
    verdict_3         INTEGER,
    verdict_4         INTEGER,
    verdict_5         INTEGER,
    verdict_6         INTEGER,
    verdict_7         INTEGER,
    rules_version     INTEGER NOT NULL,
    finished          INTEGER NOT NULL,
    failed_tests      INTEGER NOT NULL, -- bit n-1 set when Test n failed
    derived_tests     INTEGER NOT NULL DEFAULT 0, -- bit n-1 set when Test n's verdict is derived
    release           BLOB    NOT NULL,
    release_cut       INTEGER NOT NULL DEFAULT 0,
    lost_echoes       INTEGER,
    lost_probes       INTEGER,
    average_ms        INTEGER,
    large_lost_echoes INTEGER,
    download_mbps     REAL,
    packets_received  INTEGER,
    reading           TEXT    NOT NULL  -- JSON
);
INSERT INTO report_readings_v5 (report_id, rules_version, finished, failed_tests, release, reading)
    SELECT report_id, rules_version, finished, failed_tests, release, reading FROM report_readings;
DROP TABLE report_readings;
ALTER TABLE report_readings_v5 RENAME TO report_readings;
CREATE INDEX report_readings_by_rules ON report_readings (rules_version, report_id);
)sql";

// Version 6: a bounded audit log and the secrets instances share.
// - Repeated anonymous refusals from one address share a line: how many (repeats), the last one's time,
//   and whether any of them typed another name than the line's.
// - server_secrets holds random keys that every instance on this database signs with (the speed-test
//   page's result token), made by whichever instance starts first.
constexpr const char* audit_repeats_v6 = R"sql(
ALTER TABLE audit_log ADD COLUMN repeats INTEGER NOT NULL DEFAULT 1;
ALTER TABLE audit_log ADD COLUMN last_ms INTEGER NOT NULL DEFAULT 0;
ALTER TABLE audit_log ADD COLUMN other_users INTEGER NOT NULL DEFAULT 0;
UPDATE audit_log SET last_ms = time_ms;
CREATE INDEX audit_log_by_address ON audit_log (address, time_ms);
CREATE TABLE server_secrets (
    name       TEXT PRIMARY KEY,
    secret     BLOB NOT NULL,
    created_ms INTEGER NOT NULL
);
)sql";

// Version 7: the code page the reading found the report's tools printing in (Windows' number; 0 when every
// byte is ASCII), so that a listing decodes a release line without the JSON. Made anew as in step 5, the JSON
// kept last. NULL in readings made before: reanalyse reads them again.
constexpr const char* reading_code_page_v7 = R"sql(
CREATE TABLE report_readings_v7 (
    report_id         INTEGER PRIMARY KEY REFERENCES reports (id) ON DELETE CASCADE,
    verdict_1         INTEGER, -- 0 not reached, 1 OK, 2 failed, 3 skipped
    verdict_2         INTEGER,
    verdict_3         INTEGER,
    verdict_4         INTEGER,
    verdict_5         INTEGER,
    verdict_6         INTEGER,
    verdict_7         INTEGER,
    rules_version     INTEGER NOT NULL,
    finished          INTEGER NOT NULL,
    failed_tests      INTEGER NOT NULL, -- bit n-1 set when Test n failed
    derived_tests     INTEGER NOT NULL DEFAULT 0, -- bit n-1 set when Test n's verdict is derived
    release           BLOB    NOT NULL,
    release_cut       INTEGER NOT NULL DEFAULT 0,
    code_page         INTEGER,
    lost_echoes       INTEGER,
    lost_probes       INTEGER,
    average_ms        INTEGER,
    large_lost_echoes INTEGER,
    download_mbps     REAL,
    packets_received  INTEGER,
    reading           TEXT    NOT NULL  -- JSON
);
INSERT INTO report_readings_v7 (report_id, verdict_1, verdict_2, verdict_3, verdict_4, verdict_5, verdict_6, verdict_7,
                                rules_version, finished, failed_tests, derived_tests, release, release_cut,
                                lost_echoes, lost_probes, average_ms, large_lost_echoes, download_mbps,
                                packets_received, reading)
    SELECT report_id, verdict_1, verdict_2, verdict_3, verdict_4, verdict_5, verdict_6, verdict_7, rules_version,
           finished, failed_tests, derived_tests, release, release_cut, lost_echoes, lost_probes, average_ms,
           large_lost_echoes, download_mbps, packets_received, reading
    FROM report_readings;
DROP TABLE report_readings;
ALTER TABLE report_readings_v7 RENAME TO report_readings;
CREATE INDEX report_readings_by_rules ON report_readings (rules_version, report_id);
)sql";

// Version 8: the computers the reports came from, by their adapters' MACs and host name, so that a subscriber's
// reports are found together whatever address each came from. Derived, with the reading: reanalyse fills it
// for the reports stored before. Keyed by value first, as every search asks by value.
constexpr const char* report_computers_v8 = R"sql(
CREATE TABLE report_computers (
    kind      TEXT    NOT NULL CHECK (kind IN ('mac', 'host')),
    value     BLOB    NOT NULL, -- "3C-52-82-4E-03-10", or the host name as the report spells it, in upper case
    report_id INTEGER NOT NULL REFERENCES reports (id) ON DELETE CASCADE,
    PRIMARY KEY (kind, value, report_id)
) WITHOUT ROWID;
CREATE INDEX report_computers_by_report ON report_computers (report_id);
)sql";

// Version 9: the operator's overview's counts, kept with each reading and speed test so that the overview's
// cost follows the hours it shows. A reading adds all its figures to one row of its hour for each block:
// its IPv4 /24 or IPv6 /48 (reading_counts), and its /16 and the whole network, "" (network_counts). These
// two, which the readings of many subscribers add to, are kept in parts chosen by the report's id and
// summed when read, so that readings kept at once by many connections (PostgreSQL's) seldom wait for
// each other's row; and apart from the many small blocks, so that a month of them is read in few pages.
// Derived: `lumresults reanalyse` makes them again (and fills them for the reports before).
constexpr const char* counts_v9 = R"sql(
CREATE TABLE reading_counts (
    hour_ms   INTEGER NOT NULL, -- the hour's start, Unix time in milliseconds (UTC)
    block     TEXT    NOT NULL, -- "100.102.3.0/24", "2001:db8:1::/48"
    finished  INTEGER NOT NULL, -- reports read to their end
    cut_short INTEGER NOT NULL, -- reports that end before the program's last line
    -- ok_N, failed_N: the reports in which test N passed, failed (one not reached or skipped is in neither)
    ok_1    INTEGER NOT NULL, failed_1 INTEGER NOT NULL,
    ok_2    INTEGER NOT NULL, failed_2 INTEGER NOT NULL,
    ok_3    INTEGER NOT NULL, failed_3 INTEGER NOT NULL,
    ok_4    INTEGER NOT NULL, failed_4 INTEGER NOT NULL,
    ok_5    INTEGER NOT NULL, failed_5 INTEGER NOT NULL,
    ok_6    INTEGER NOT NULL, failed_6 INTEGER NOT NULL,
    ok_7    INTEGER NOT NULL, failed_7 INTEGER NOT NULL,
    PRIMARY KEY (hour_ms, block)
) WITHOUT ROWID;
CREATE INDEX reading_counts_by_block ON reading_counts (block, hour_ms);
CREATE TABLE network_counts (
    block     TEXT    NOT NULL, -- "100.102.0.0/16", or "" for the whole network
    hour_ms   INTEGER NOT NULL,
    part      INTEGER NOT NULL, -- 0 to 15, chosen by the report's id
    finished  INTEGER NOT NULL,
    cut_short INTEGER NOT NULL,
    ok_1    INTEGER NOT NULL, failed_1 INTEGER NOT NULL,
    ok_2    INTEGER NOT NULL, failed_2 INTEGER NOT NULL,
    ok_3    INTEGER NOT NULL, failed_3 INTEGER NOT NULL,
    ok_4    INTEGER NOT NULL, failed_4 INTEGER NOT NULL,
    ok_5    INTEGER NOT NULL, failed_5 INTEGER NOT NULL,
    ok_6    INTEGER NOT NULL, failed_6 INTEGER NOT NULL,
    ok_7    INTEGER NOT NULL, failed_7 INTEGER NOT NULL,
    PRIMARY KEY (block, hour_ms, part)
) WITHOUT ROWID;
CREATE INDEX network_counts_by_hour ON network_counts (hour_ms);
CREATE TABLE speed_counts (
    block   TEXT    NOT NULL, -- as the readings' counts name it, "" for the whole network
    hour_ms INTEGER NOT NULL,
    upload  INTEGER NOT NULL, -- 0 download, 1 upload
    bucket  INTEGER NOT NULL, -- rates from 2^(bucket/8) Mbit/s up to 2^((bucket+1)/8)
    tests   INTEGER NOT NULL,
    PRIMARY KEY (block, hour_ms, upload, bucket)
) WITHOUT ROWID;
CREATE INDEX speed_counts_by_hour ON speed_counts (hour_ms);
)sql";

// Version 10: sign-in attempts that take a place of their own before their password is checked.
// - An attempt is noted in refused_sign_ins, under a random key of its own (attempt), by the transaction that
//   decides it may be tried; a right password deletes the row again. Refusals noted before have none.
// - sign_in_turns has a row per account name and per caller that tried to sign in lately. An attempt's
//   transaction locks both (by an upsert) before it counts, so that where counted rows lock nothing
//   (PostgreSQL) attempts of one name or one caller still decide one after another, on any instance.
// - An IPv6 caller's refusals name its /64 from now on ("2001:db8:1:2::/64"), an IPv4 caller's its
//   address as before; those noted before name an IPv6 caller's whole address, and the count looks for
//   that too until they have left the window.
constexpr const char* sign_in_places_v10 = R"sql(
ALTER TABLE refused_sign_ins ADD COLUMN attempt TEXT;
CREATE TABLE sign_in_turns (
    kind    TEXT    NOT NULL CHECK (kind IN ('user', 'caller')),
    key     BLOB    NOT NULL, -- the name as typed, or the caller
    time_ms INTEGER NOT NULL, -- the latest attempt's, for the sweep
    PRIMARY KEY (kind, key)
) WITHOUT ROWID;
)sql";

// Version 11: the speed-test page's tokens that have kept their result, so that each keeps one, whichever
// instance it reaches: the token's MAC, and when it expires, after which every instance refuses it anyway
// and its row may go (see put_speed_test).
constexpr const char* spent_result_tokens_v11 = R"sql(
CREATE TABLE spent_result_tokens (
    mac        BLOB    PRIMARY KEY,
    expires_ms INTEGER NOT NULL -- Unix time in milliseconds (UTC)
) WITHOUT ROWID;
CREATE INDEX spent_result_tokens_by_expiry ON spent_result_tokens (expires_ms);
)sql";

// Version 12: what each account, token and session may do (a set of roles, one bit each: support 1,
// network 2, admin 4). Accounts and tokens made before roles could do everything, and keep doing it. A
// session holds its roles, taken at sign-in, and for a directory user when the directory last confirmed
// them; such a user has no staff_users row, so a session no longer refers to one (remove_user and
// set_password end a user's sessions themselves).
constexpr const char* roles_v12 = R"sql(
ALTER TABLE staff_users ADD COLUMN roles INTEGER NOT NULL DEFAULT 7;
ALTER TABLE api_tokens ADD COLUMN roles INTEGER NOT NULL DEFAULT 7;
CREATE TABLE staff_sessions_with_roles (
    key          TEXT PRIMARY KEY, -- hex SHA-256 of the cookie's value
    user         BLOB NOT NULL,
    csrf         TEXT NOT NULL,
    created_ms   INTEGER NOT NULL,
    last_seen_ms INTEGER NOT NULL,
    roles        INTEGER NOT NULL,
    checked_ms   INTEGER -- a directory user's: when the directory last confirmed the roles; NULL for an account
);
INSERT INTO staff_sessions_with_roles (key, user, csrf, created_ms, last_seen_ms, roles)
    SELECT key, user, csrf, created_ms, last_seen_ms, 7 FROM staff_sessions;
DROP TABLE staff_sessions;
ALTER TABLE staff_sessions_with_roles RENAME TO staff_sessions;
CREATE INDEX staff_sessions_by_user ON staff_sessions (user);
CREATE INDEX staff_sessions_by_last_seen ON staff_sessions (last_seen_ms);
)sql";

// Version 13: subscribers' sessions from the operator's RADIUS accounting.
// - A session is one access node's (its address and NAS-Identifier) Acct-Session-Id; every record of it
//   brings it up to date, an empty field keeping what an earlier record said.
// - session_addresses indexes each session under its IPv4 address and IPv6 prefixes with its start, so that
//   "who held A at T" is a seek on (address, start) for the latest start at or before T, however many
//   sessions are kept.
// - report_subscribers names each report's subscriber as its session did, copied so that it outlives the
//   session, and indexed by name and node for the search.
// - accounting_events keeps each record's content (node, session, status, event time), so that a
//   retransmission, which comes with a new identifier and a larger Acct-Delay-Time, changes nothing.
constexpr const char* subscriber_sessions_v13 = R"sql(
CREATE TABLE subscriber_sessions (
    id              INTEGER PRIMARY KEY AUTOINCREMENT,
    node_address    TEXT    NOT NULL, -- NAS-IP-Address or NAS-IPv6-Address, else the sender's
    node_id         BLOB    NOT NULL, -- NAS-Identifier
    session_id      BLOB    NOT NULL, -- Acct-Session-Id
    user_name       BLOB    NOT NULL,
    port_id         BLOB    NOT NULL, -- NAS-Port-Id
    calling_station BLOB    NOT NULL, -- Calling-Station-Id
    ipv4            TEXT    NOT NULL, -- Framed-IP-Address, or ''
    ipv6_prefixes   TEXT    NOT NULL, -- "2001:db8:1::/56 ...", or ''
    start_ms        INTEGER NOT NULL, -- Unix time in milliseconds (UTC), by the access node's clock
    update_ms       INTEGER NOT NULL,
    stop_ms         INTEGER,
    cause           INTEGER,          -- Acct-Terminate-Cause
    UNIQUE (node_address, node_id, session_id)
);
CREATE INDEX subscriber_sessions_open ON subscriber_sessions (node_address, node_id) WHERE stop_ms IS NULL;
CREATE INDEX subscriber_sessions_by_user ON subscriber_sessions (user_name, start_ms);
CREATE INDEX subscriber_sessions_by_update ON subscriber_sessions (update_ms);
CREATE TABLE session_addresses (
    address  TEXT    NOT NULL, -- an IPv4 address, or an IPv6 prefix as "2001:db8:1::/56"
    start_ms INTEGER NOT NULL,
    session  INTEGER NOT NULL REFERENCES subscriber_sessions (id) ON DELETE CASCADE,
    PRIMARY KEY (address, start_ms, session)
) WITHOUT ROWID;
CREATE INDEX session_addresses_by_session ON session_addresses (session);
CREATE TABLE accounting_events (
    node_address TEXT    NOT NULL,
    node_id      BLOB    NOT NULL,
    session_id   BLOB    NOT NULL, -- '' for Accounting-On and -Off
    status       INTEGER NOT NULL, -- Acct-Status-Type
    event_ms     INTEGER NOT NULL,
    PRIMARY KEY (node_address, node_id, session_id, status, event_ms)
) WITHOUT ROWID;
CREATE INDEX accounting_events_by_time ON accounting_events (event_ms);
CREATE TABLE report_subscribers (
    report_id        INTEGER PRIMARY KEY REFERENCES reports (id) ON DELETE CASCADE,
    user_name        BLOB    NOT NULL,
    node_address     TEXT    NOT NULL,
    node_id          BLOB    NOT NULL,
    port_id          BLOB    NOT NULL,
    session_start_ms INTEGER NOT NULL,
    received_ms      INTEGER NOT NULL -- the report's
);
CREATE INDEX report_subscribers_by_user ON report_subscribers (user_name, received_ms);
CREATE INDEX report_subscribers_by_node ON report_subscribers (node_address, received_ms);
CREATE INDEX report_subscribers_by_node_id ON report_subscribers (node_id, received_ms);
)sql";

constexpr std::array steps_of_this_build{
    Migration{1, reports_v1},     Migration{2, readings_v2},        Migration{3, staff_v3},
    Migration{4, speed_tests_v4}, Migration{5, reading_columns_v5}, Migration{6, audit_repeats_v6},
    Migration{7, reading_code_page_v7}, Migration{8, report_computers_v8}, Migration{9, counts_v9},
    Migration{10, sign_in_places_v10},  Migration{11, spent_result_tokens_v11},
    Migration{12, roles_v12}, Migration{13, subscriber_sessions_v13},
};

static_assert(numbered_without_gaps(steps_of_this_build), "schema steps must be numbered 1, 2, 3, ...");

int schema_version(sqlite3* db) { return static_cast<int>(query_integer(db, "PRAGMA user_version")); }

// Refuses a database a newer build has changed; true when it is already up to date.
bool is_current(sqlite3* db, int version, int latest) {
    return lumresults::is_current(sqlite3_db_filename(db, "main"), version, latest);
}

} // namespace

std::span<const Migration> migrations() { return steps_of_this_build; }

void migrate(sqlite3* db, std::span<const Migration> steps) {
    check_numbering(steps);
    const int latest = static_cast<int>(steps.size());
    // Checked first without the write lock, so that opening an up-to-date database never waits for a writer.
    while (!is_current(db, schema_version(db), latest)) {
        // The version is read again under the write lock: another process may have applied the step
        // while this one waited, and must not have it applied twice.
        Transaction transaction(db, "BEGIN IMMEDIATE");
        const int version = schema_version(db);
        if (is_current(db, version, latest)) return;
        exec(db, steps[static_cast<std::size_t>(version)].sql);
        exec(db, ("PRAGMA user_version = " + std::to_string(version + 1)).c_str());
        transaction.commit();
    }
}

} // namespace lumresults::sqlite
