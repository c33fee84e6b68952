// server/store/store.h: the one interface to where reports are kept, on SQLite or PostgreSQL.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rules/test_names.h"
#include "server/common/roles.h"

namespace lumresults {

using Clock = std::chrono::system_clock;

// What is known of a report besides its bytes.
struct ReportInfo {
    std::int64_t id = 0;
    std::string caller; // the caller's address as "/ip/" would answer it
    Clock::time_point received;
    std::string file_name;    // as the form part named it, bytes as received
    std::string content_type; // as the form part named it
    std::uint64_t size = 0;
    std::string sha256; // 64 lower-case hex digits of the stored bytes
};

// A report about to be stored: its description and a file holding exactly its bytes.
struct NewReport {
    std::string caller;
    Clock::time_point received;
    std::string file_name;
    std::string content_type;
    std::uint64_t size = 0;
    std::string sha256;
    std::filesystem::path content; // read in pieces, never whole into memory
};

struct ReportFilter {
    std::optional<std::string> caller;      // exact address
    std::optional<Clock::time_point> since; // received at or after
    std::size_t limit = 1000;               // newest first (the higher id first at equal times)
};

// A test's verdict as a reading keeps it: one small number per test, which SQL can filter and count by.
enum class TestVerdict : std::uint8_t { not_reached = 0, ok = 1, failed = 2, skipped = 3 };

// The verdict as the reading's JSON, the search, the CSV and the API name it.
constexpr const char* verdict_name(TestVerdict verdict) {
    switch (verdict) {
    case TestVerdict::ok: return "OK";
    case TestVerdict::failed: return "Failed";
    case TestVerdict::skipped: return "Skip";
    case TestVerdict::not_reached: break;
    }
    return "not reached";
}

// The tests a reading keeps a verdict for: the program's.
inline constexpr std::size_t READING_TESTS = lum::TEST_COUNT;

// The figures behind the rows, each absent when its test did not run (or its tool's text held none).
struct ReadingFigures {
    std::optional<std::int32_t> lost_echoes;       // Test 2
    std::optional<std::int32_t> lost_probes;       // Test 4
    std::optional<std::int64_t> average_ms;        // Test 4: fping's average round trip
    std::optional<std::int32_t> large_lost_echoes; // Test 5
    std::optional<double> download_mbps;           // Test 6: the row's rate
    std::optional<std::int32_t> packets_received;  // Test 7
};

// The computer a report came from, as keys: its adapters' MACs ("3C-52-82-4E-03-10") and its host name (ASCII
// letters in upper case). A subscriber's address changes every day or two; these do not.
struct ReportComputer {
    std::vector<std::string> macs; // at most one per adapter a reading keeps
    std::string host_name;         // empty when the report does not show it
};

// The release line as a reading keeps it: at most this many bytes (a report may hold any line there).
inline constexpr std::size_t READING_RELEASE_BYTES = 256;

// What the server read back from a report: what searches, listings and counts need, as typed columns,
// and the whole reading (as JSON) for the report's own page. Derived data: it can always be made again
// from the report's bytes.
struct ReportReading {
    ReportReading() = default;
    // A reading with only its summary and JSON (the verdicts and figures as not reached and absent).
    ReportReading(std::int32_t rules, bool whole, std::uint32_t failed, std::string release_line, std::string all)
        : rules_version(rules), finished(whole), failed_tests(failed), release(std::move(release_line)),
          json(std::move(all)) {}

    std::int32_t rules_version = 0; // the rules that made it; older ones are read again after an upgrade
    bool finished = false;          // the report's footer is there
    std::uint32_t failed_tests = 0; // bit n-1 set when Test n failed
    std::string release;            // the report's release line, its first READING_RELEASE_BYTES bytes
    std::string json;               // the whole reading; a search leaves it empty
    std::array<TestVerdict, READING_TESTS> verdicts{};
    std::uint32_t derived_tests = 0; // bit n-1 set when Test n's verdict is the closest the report allows
    bool release_cut = false;        // the release line was longer
    std::int32_t code_page = 0;      // what the report's tools printed in (Windows' number); 0: ASCII only
    ReadingFigures figures;
    ReportComputer computer; // kept beside the reading; finding a reading leaves it empty
};

// The dashboard's and the API's search: newest first, a page at a time. Every condition set must hold.
struct ReportSearch {
    std::string caller;                     // empty: any caller
    bool caller_prefix = false;             // caller is the start of the address ("10.1.") rather than the whole
    std::optional<Clock::time_point> since; // received at or after
    std::optional<Clock::time_point> until; // received before
    std::uint32_t failed_any_of = 0;        // 0: any; else some test of these bits (bit n-1: Test n) failed
    std::vector<std::string> computer_macs; // empty: any; else the report's computer had one of these MACs
    std::string computer_name;              // empty: any; else the report's computer had this host name
    std::string other_than_caller;          // empty: any; else not from this address
    std::string subscriber;                 // empty: any; else its session's User-Name, bytes as sent
    std::string node;                       // empty: any; else its session's access node (address or NAS-Identifier)
    // The page after a row already shown: only rows older than (received, id), in the listing's order.
    std::optional<std::pair<Clock::time_point, std::int64_t>> after;
    std::size_t limit = 50;
};

// Who sent a report, as the session that held its address when it arrived says (see SessionStore): kept
// with the report, so that it outlives the session.
struct ReportSubscriber {
    std::string user_name;
    std::string node_address;
    std::string node_id;
    std::string port_id;
    Clock::time_point session_start;
};

// A search's row: the report's description and, once it has been read (under the current columns), its
// reading without the JSON; its subscriber when a session names one.
struct ReportSummary {
    ReportInfo info;
    std::optional<ReportReading> reading;       // json left empty
    std::optional<ReportSubscriber> subscriber{};
};

// A staff member who may sign in to the dashboard.
struct StaffUser {
    std::string name;
    std::string password_hash; // argon2id, in libsodium's encoded form
    Roles roles = Roles::all();
};

// A signed-in session. Only a hash of the cookie's value is kept, so the table holds nothing to sign in with.
struct StaffSession {
    std::string key;  // hex SHA-256 of the session cookie's value
    std::string user; // StaffUser::name
    std::string csrf; // the token every form of this session carries
    Clock::time_point created;
    Clock::time_point last_seen;
    Roles roles = Roles::all(); // taken at sign-in
    // A directory user's session (one with no account here): when the directory last confirmed its roles.
    std::optional<Clock::time_point> checked{};
};

// An API token as the gate finds it: its name and the roles its maker gave it.
struct ApiToken {
    std::string name;
    Roles roles;
};

// One line of the audit log: who did what, from where, when. Anonymous refusals repeated from one address
// share a line (see StaffStore::repeat_audit), so that a flood of them costs the log a bounded entry.
struct AuditEntry {
    Clock::time_point time;    // the first time, for a line of repeats
    std::string user;          // as typed at a refused sign-in (the first name typed, for a line of repeats)
    std::string address;       // the caller's
    std::string action;        // "sign-in", "sign-in refused", "sign-in throttled", "sign-out", "report viewed", ...
    std::string detail;        // the report's id, the search's filters, or why
    std::uint64_t repeats = 1; // how many times it happened
    Clock::time_point last{};  // when it last happened; the epoch (as left here) means `time`
    bool other_users = false;  // some repeat was for another name than `user`
};

// Refused sign-ins since a time, as the throttle weighs them: of a name, of that name from one caller,
// and of any name from that caller, each with the time it frees up or grows from; and how many callers
// the name's refusals came from.
struct RefusedSignIns {
    std::size_t of_user = 0;                         // of the name, from anywhere
    std::optional<Clock::time_point> newest_of_user; // the latest of those
    std::size_t of_user_here = 0;                    // of the name, from the caller
    std::optional<Clock::time_point> oldest_of_user_here;
    std::size_t from_here = 0; // of any name, from the caller
    std::optional<Clock::time_point> oldest_from_here;
    std::size_t callers_of_user = 0; // the callers the name's refusals came from
};

// A sign-in attempt as the throttle counts it. Its caller is whom refusals are counted against: an IPv4
// address, or an IPv6 /64 ("2001:db8:1:2::/64"). Its address is the caller's own, looked for as well:
// refusals noted before IPv6 callers were counted by /64 name the whole address.
struct SignInAttempt {
    std::string user; // as typed (bounded by the caller of the store)
    std::string caller;
    std::string address;
    Clock::time_point time;
    std::string key; // random: names the attempt's place among the refusals until its password is checked
};

// A speed test's result as the subscriber's browser measured it (a phase that failed has no figure).
struct NewSpeedTest {
    std::string caller; // the caller's address as "/ip/" would answer it
    Clock::time_point received;
    std::string user_agent; // the browser's User-Agent, bytes as sent (cut short)
    std::optional<double> download_mbps;
    std::optional<double> upload_mbps;
    std::optional<double> latency_ms;
    std::optional<double> jitter_ms;
};

struct SpeedTest : NewSpeedTest {
    std::int64_t id = 0;
};

// The speed-test page's token that a result came with, as the store keeps it so that each token keeps one
// result: its MAC (bytes, one per token given) and when it expires, after which no instance takes it.
struct SpeedTestToken {
    std::string mac; // empty: a result that came with none (a test's, a replay's)
    Clock::time_point expires;
};

// Newest first; every condition set must hold (as ReportSearch's).
struct SpeedTestSearch {
    std::string caller;                     // empty: any caller
    bool caller_prefix = false;             // caller is the start of the address rather than the whole
    std::optional<Clock::time_point> since; // received at or after
    std::optional<Clock::time_point> until; // received before
    std::size_t limit = 100;
};

// The operator's overview counts readings and speed tests as they are kept, by the UTC hour their report (or
// test) was received in and each block of the caller's: its IPv4 /24 and /16 ("100.102.3.0/24",
// "100.102.0.0/16") or its IPv6 /48, so that its cost follows the hours shown, not the reports kept. Test 0 counts the reports themselves: verdict ok when
// the report is finished, failed when it was cut short.
struct ReadingCount {
    Clock::time_point hour; // the range's start, in counts summed over hours
    std::string block;      // empty in counts summed over blocks
    std::int32_t test = 0;
    TestVerdict verdict = TestVerdict::not_reached;
    std::int64_t reports = 0;
};

// Speed-test figures in buckets an eighth of a doubling wide: bucket b holds rates from 2^(b/8) Mbit/s up
// to 2^((b+1)/8), so that a median read from them is within 5 % of the figures' own.
struct SpeedCount {
    Clock::time_point hour;
    bool upload = false;
    std::int32_t bucket = 0;
    std::int64_t tests = 0;
};
std::int32_t speed_bucket(double mbps);
double bucket_middle(std::int32_t bucket); // the geometric middle of its rates

// The hours from `from` (inclusive) to `to` (exclusive) of the whole network, or of one block: an IPv4 /16
// (a customer block's size), /24 or an IPv6 /48, as address_blocks names it ("100.102.0.0/16").
struct CountRange {
    Clock::time_point from;
    Clock::time_point to;
    std::string block;
};

// Receives a stored report's bytes piece by piece, in order.
using ByteSink = std::function<void(std::string_view)>;

// A store that cannot be opened, migrated or written; its text says what and where.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A store that cannot be reached just now (a database server restarting, its connection lost): the same
// call may well succeed a few seconds later.
class StoreUnavailable : public StoreError {
public:
    using StoreError::StoreError;
};

// The parts below are safe to share between threads; every call is all or nothing (puts made at once may
// share a transaction). Each caller takes the part it uses.

// The reports, their bytes and their readings.
class ReportStore {
public:
    virtual ~ReportStore() = default;

    // Stores the report in one transaction that has reached stable storage when this returns: the caller
    // may acknowledge the upload then, and not before. Returns the new report's id, never given before.
    // Throws StoreError, having stored nothing, when any step fails or the content file's length is not size.
    virtual std::int64_t put_report(const NewReport& report) = 0;

    virtual std::optional<ReportInfo> find_report(std::int64_t id) = 0;

    // Writes the report's stored bytes to sink; false when there is no such report. What the sink throws
    // passes through.
    virtual bool read_report(std::int64_t id, const ByteSink& sink) = 0;

    virtual std::vector<ReportInfo> list_reports(const ReportFilter& filter) = 0;

    // Keeps the reading of a stored report, replacing an earlier one. Throws StoreError.
    virtual void put_reading(std::int64_t id, const ReportReading& reading) = 0;
    virtual std::optional<ReportReading> find_reading(std::int64_t id) = 0;
    // Up to `limit` ids above `after_id`, in order, of reports without a reading made by rules_version.
    virtual std::vector<std::int64_t> reports_to_read(std::int32_t rules_version, std::int64_t after_id,
                                                      std::size_t limit) = 0;

    // One statement, whatever the page's length.
    virtual std::vector<ReportSummary> search_reports(const ReportSearch& search) = 0;
    // Deletes every report received before `before` with its reading, and the counts of the hours before
    // the one `before` is in; returns how many reports.
    virtual std::size_t delete_reports_before(Clock::time_point before) = 0;
};

// Who may read the reports: staff users, their sessions, refused sign-ins, the audit log, API tokens and
// the secrets that instances sign with.
class StaffStore {
public:
    virtual ~StaffStore() = default;

    // add_user returns false (and changes nothing) when the name is taken; remove_user also ends the
    // user's sessions, and so does set_password.
    virtual bool add_user(const StaffUser& user) = 0;
    virtual bool set_password(std::string_view name, std::string_view password_hash) = 0;
    virtual bool remove_user(std::string_view name) = 0;
    virtual std::optional<StaffUser> find_user(std::string_view name) = 0;
    virtual std::vector<std::string> list_users() = 0;

    // Sessions, by key (see StaffSession).
    virtual void put_session(const StaffSession& session) = 0;
    virtual std::optional<StaffSession> find_session(std::string_view key) = 0;
    virtual void touch_session(std::string_view key, Clock::time_point seen) = 0;
    // A directory user's session whose roles the directory has just confirmed (or changed).
    virtual void recheck_session(std::string_view key, Roles roles, Clock::time_point checked) = 0;
    virtual void delete_session(std::string_view key) = 0;
    virtual std::size_t delete_sessions_idle_since(Clock::time_point last_seen_before) = 0;

    // Refused sign-ins, counted for throttling: by account name, by name and caller, and by caller (see
    // SignInAttempt). take_sign_in_place counts those since `since` that weigh on the attempt and asks
    // `may_try`; when it agrees, the attempt is noted as a refusal in the same transaction, before its
    // password is checked, so that attempts made at once each take a place of their own under the limits,
    // on every instance of the store: those of one name or one caller decide one after another. Returns
    // what may_try answered (it may be asked twice). A right password gives the place back; a crash
    // meanwhile leaves it counted.
    virtual bool take_sign_in_place(const SignInAttempt& attempt, Clock::time_point since,
                                    const std::function<bool(const RefusedSignIns&)>& may_try) = 0;
    virtual void give_back_sign_in_place(const SignInAttempt& attempt) = 0;
    // A refusal noted, and the refusals counted, by themselves (as take_sign_in_place counts them).
    virtual void note_refused_sign_in(std::string_view user, std::string_view caller, Clock::time_point time) = 0;
    virtual RefusedSignIns refused_sign_ins(std::string_view user, std::string_view caller,
                                            Clock::time_point since) = 0;
    virtual void forget_refused_sign_ins_before(Clock::time_point before) = 0;

    virtual void append_audit(const AuditEntry& entry) = 0;
    // Counts entry as one more of the newest line with the same address, action and detail begun at or
    // after `since` (noting when, and whether its name differed); appends it when there is none. Two
    // instances that meet may each begin a line: the log stays bounded, never wrong.
    virtual void repeat_audit(const AuditEntry& entry, Clock::time_point since) = 0;
    virtual std::vector<AuditEntry> list_audit(std::size_t limit) = 0; // newest first
    // Deletes every audit line written before `before`; returns how many.
    virtual std::size_t delete_audit_before(Clock::time_point before) = 0;

    // API tokens: only a hash of each is kept (hex SHA-256; the tokens are long and random).
    virtual bool add_token(std::string_view name, std::string_view token_hash, Roles roles) = 0; // false: taken
    virtual bool remove_token(std::string_view name) = 0;
    virtual std::optional<ApiToken> find_token(std::string_view token_hash) = 0;

    // The secret of that name which every instance on this store shares: `candidate` is kept when there is
    // none yet, and whichever was kept first is returned, so that instances starting together agree.
    virtual std::string shared_secret(std::string_view name, std::string_view candidate) = 0;
};

// The overview's counts. Readings and speed tests add to them in the transaction that keeps them; a reading
// that replaces another takes the other's away.
class CountStore {
public:
    virtual ~CountStore() = default;

    // Summed over the range's blocks: a count per hour, test and verdict there is one of.
    virtual std::vector<ReadingCount> reading_counts(const CountRange& range) = 0;
    // Summed over the range's hours: a count per IPv4 /24 or IPv6 /48, test and verdict; of those within the
    // range's block, and of `blocks` only when given.
    virtual std::vector<ReadingCount> block_counts(const CountRange& range, const std::vector<std::string>& blocks) = 0;
    // The /24s and /48s within the range's block that had at least `least` reports in an hour of the range: a
    // count per hour and block (test 0, both verdicts summed). Answered from the hours' own rows, however many
    // blocks are quiet.
    virtual std::vector<ReadingCount> busy_blocks(const CountRange& range, std::int64_t least) = 0;
    virtual std::vector<SpeedCount> speed_counts(const CountRange& range) = 0;
    // Makes every count again from the readings and speed tests kept (after reading reports again, or
    // copying a store). One transaction.
    virtual void recount() = 0;
};

// The speed-test page's results.
class SpeedTestStore {
public:
    virtual ~SpeedTestStore() = default;

    // Stores a speed test's result with the page token it came with; it has reached stable storage when
    // this returns. Returns its new id, or nothing, having stored nothing, when a result with the same token
    // was kept before, by any instance on this store.
    virtual std::optional<std::int64_t> put_speed_test(const NewSpeedTest& test, const SpeedTestToken& token) = 0;
    // A result that came with no token.
    std::int64_t put_speed_test(const NewSpeedTest& test) { return put_speed_test(test, {}).value(); }
    virtual std::vector<SpeedTest> search_speed_tests(const SpeedTestSearch& search) = 0;
    // Deletes every speed test received before `before`; returns how many.
    virtual std::size_t delete_speed_tests_before(Clock::time_point before) = 0;
};

// One Accounting-Request as kept: who, where and when, as the access node (the RADIUS NAS) told it.
struct AccountingRecord {
    std::string node_address; // NAS-IP-Address or NAS-IPv6-Address, else the sender's own address
    std::string node_id;      // NAS-Identifier, bytes as sent ("" when absent)
    std::string session_id;   // Acct-Session-Id, bytes as sent ("" for Accounting-On and -Off)
    std::uint32_t status = 0; // Acct-Status-Type: 1 Start, 2 Stop, 3 Interim-Update, 7 Accounting-On, 8 Accounting-Off
    Clock::time_point event;  // Event-Timestamp, else when it arrived less Acct-Delay-Time
    std::string user_name;    // bytes as sent
    std::string ipv4;         // Framed-IP-Address as text, or ""
    std::vector<std::string> ipv6_prefixes; // "2001:db8:1::/56" (Framed-IPv6-Prefix, Delegated-IPv6-Prefix)
    std::string port_id;                    // NAS-Port-Id
    std::string calling_station;            // Calling-Station-Id
    std::optional<std::int64_t> cause;      // Acct-Terminate-Cause
};

// What a record changed: a repeat (the same node, session, status and event time as one kept) changes nothing.
enum class AccountingOutcome : std::uint8_t { recorded, repeat };

// A subscriber's session as its records built it up.
struct SubscriberSession {
    std::int64_t id = 0;
    std::string node_address;
    std::string node_id;
    std::string session_id;
    std::string user_name;
    std::string ipv4;
    std::vector<std::string> ipv6_prefixes;
    std::string port_id;
    std::string calling_station;
    Clock::time_point start;       // the earliest event seen (the Start's, when it came)
    Clock::time_point last_update; // the latest
    std::optional<Clock::time_point> stop;
    std::optional<std::int64_t> cause;
};

// Whose data to erase on request: one of the three.
struct ForgetWhom {
    std::string subscriber{}; // a User-Name: the reports linked to it, its sessions, and the speed tests from
                              // its sessions' IPv4 addresses while it held them
    std::string computer_mac{}; // a MAC as reports keep it ("3C-52-82-4E-03-10"): the reports of that computer
    std::string address{};    // an address: its reports, speed tests and sessions from `from` until `to`
    Clock::time_point from{};
    Clock::time_point to{};
};

// How many rows went (the readings, computers and links going with their reports).
struct ForgetCounts {
    std::size_t reports = 0;
    std::size_t speed_tests = 0;
    std::size_t sessions = 0;
};

// The operator's RADIUS accounting: who held which address when.
class SessionStore {
public:
    virtual ~SessionStore() = default;

    // Records the batch in one transaction that has reached stable storage when this returns (the caller may
    // answer each request then, and not before); an outcome per record, in order. Accounting-On and -Off stop
    // every open session of their node at their event time. Throws StoreError, having recorded nothing.
    virtual std::vector<AccountingOutcome> put_accounting(const std::vector<AccountingRecord>& batch) = 0;
    // The session that held `address` at `when`: the latest begun by then on the IPv4 address, or on an IPv6
    // prefix (/64 to /32) holding it, unless it had stopped before. Answered from an index.
    virtual std::optional<SubscriberSession> session_at(std::string_view address, Clock::time_point when) = 0;
    // A report's subscriber. Reports are linked when their reading is kept (by the session that held their
    // address then), and, when that session arrives later, by it (IPv4 addresses only).
    virtual std::optional<ReportSubscriber> report_subscriber(std::int64_t report_id) = 0;
    // Deletes every session last heard of before `before`, and the records kept to recognise repeats;
    // returns how many sessions.
    virtual std::size_t delete_sessions_before(Clock::time_point before) = 0;
    // Erases one subscriber's, computer's or address's data in one transaction. The overview's counts,
    // which name no one, stay.
    virtual ForgetCounts forget(const ForgetWhom& whom) = 0;
};

// The whole store, as opening it gives it. The parts are virtual bases, so that each back end's store is
// made of one implementation per part (see store/sql/) rather than of forwarding calls.
class Store : public virtual ReportStore,
              public virtual StaffStore,
              public virtual SpeedTestStore,
              public virtual CountStore,
              public virtual SessionStore {};

// Where the store is: a PostgreSQL database when `database` names one, else the SQLite file in data_dir.
struct StoreLocation {
    std::filesystem::path data_dir;
    std::string database; // a libpq connection URL ("postgresql://..."), or empty
};

// Opens the store at `location` and brings its schema to the current version. Throws StoreError.
std::unique_ptr<Store> open_store(const StoreLocation& location);

// Opens (creating when needed) the SQLite store in data_dir and brings its schema to the current version.
std::unique_ptr<Store> open_sqlite_store(const std::filesystem::path& data_dir);

// Connects to the PostgreSQL database at `url` (libpq's URL or key=value form) and brings its schema to the
// current version, under a lock that instances starting together share.
std::unique_ptr<Store> open_postgres_store(const std::string& url);

} // namespace lumresults
