// tests/server/accounts_test.cpp: staff passwords, sign-in throttling, session expiry, the gate and the
// retention sweep, against each real store.
#include "server/dashboard/accounts.h"
#include "server/dashboard/retention.h"
#include "server/dashboard/sign_in_throttle.h"
#include "server/store/postgres/pg_migrations.h"
#include "server/store/sqlite/connections.h"
#include "server/store/sqlite/migrations.h"
#include "server/store/sqlite/sqlite_session.h"

#include "at_once.h"
#include "store_backends.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>

using namespace lumresults;
using namespace lumresults::dashboard;
using namespace std::chrono_literals;
using lum::testing_support::ScratchFolder;
using namespace lumresults::testing_support;

namespace {

const Clock::time_point t0 = std::chrono::sys_days{std::chrono::year{2026} / 5 / 6} + 9h;
const std::string PASSWORD = "correct horse battery";
// What the gate is asked about: a page that needs a session, an API path that needs a token.
const Route STAFF_ROUTE = {"staff", {"GET"}, "/support/", {}, Access::Staff, {}, {}};
const Route TOKEN_ROUTE = {"token", {"GET"}, "/api/v1/reports", {}, Access::Token, {}, {}};

// One hash for every test: the hashing is slow on purpose.
const std::string& password_hash() {
    static const std::string hash = hash_password(PASSWORD);
    return hash;
}

// Over each store: SQLite and PostgreSQL.
class AccountsTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        LUMRESULTS_NEED_BACKEND(GetParam());
        scratch_.emplace(GetParam(), folder_.path() / "data");
        store_ = scratch_->open();
        store_->add_user({"ana", password_hash()});
    }

    std::vector<std::string> audit_actions() {
        std::vector<std::string> actions;
        for (const AuditEntry& entry : store_->list_audit(100))
            actions.insert(actions.begin(), entry.action); // oldest first
        return actions;
    }

    ScratchFolder folder_{"lumresults_accounts_"};
    std::optional<ScratchStore> scratch_;
    std::unique_ptr<Store> store_; // closed before its database goes
};

INSTANTIATE_TEST_SUITE_P(Backends, AccountsTest, every_backend, backend_name);

TEST(PasswordsTest, OnlyTheSamePasswordMatchesItsHash) {
    const std::string& hash = password_hash();
    EXPECT_EQ(hash.rfind("$argon2id$", 0), 0u) << hash;
    EXPECT_TRUE(password_matches(hash, PASSWORD));
    for (const std::string& wrong :
         std::vector<std::string>{"", "correct horse batter", "Correct horse battery", PASSWORD + " "})
        EXPECT_FALSE(password_matches(hash, wrong)) << wrong;
    EXPECT_NE(hash_password(PASSWORD), hash) << "each hash has its own salt";
    EXPECT_FALSE(password_matches("not a hash", PASSWORD));
    EXPECT_FALSE(password_matches(std::string(1000, '$'), PASSWORD));
}

// Refusals hold the address they came from, never the account: the right password from anywhere else
// still signs in, and the held address may try again once its refusals leave the window.
TEST_P(AccountsTest, RefusedSignInsHoldTheirAddressForTheAccountButNotTheAccount) {
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(sign_in(*store_, "ana", "guess", "192.0.2.1", t0 + i * 1s).outcome, SignInOutcome::Refused);
    const SignInResult held = sign_in(*store_, "ana", PASSWORD, "192.0.2.1", t0 + 10s);
    EXPECT_EQ(held.outcome, SignInOutcome::Throttled);
    EXPECT_EQ(held.retry_after, 15min - 10s) << "until the first refusal leaves the window";
    EXPECT_EQ(sign_in(*store_, "ana", PASSWORD, "198.51.100.1", t0 + 11s).outcome, SignInOutcome::SignedIn)
        << "the right password from an address that has not been refusing";
    EXPECT_EQ(sign_in(*store_, "ana", PASSWORD, "192.0.2.1", t0 + 15min).outcome, SignInOutcome::SignedIn);
    const std::vector<std::string> expected{"sign-in refused", "sign-in throttled", "sign-in", "sign-in"};
    EXPECT_EQ(audit_actions(), expected) << "five refusals from one address make one line";
    EXPECT_EQ(store_->list_audit(4).back().repeats, 5u);
}

// Guesses at one account slow down each caller that has made one, more with every refusal, up to a minute;
// a caller that has not refused the account is slowed only once three callers have.
TEST(SignInHoldTest, HoldsByCallerAndSlowsAnAccountsCallers) {
    const Clock::time_point last = t0 - 1min;
    const std::optional<Clock::time_point> none;
    const struct {
        const char* name;
        RefusedSignIns refused;
        Clock::time_point at;
        std::optional<std::string_view> reason;
        std::chrono::seconds retry_after;
    } cases[] = {
        {"four of the account", {4, last, 1, last, 1, last}, last, std::nullopt, 0s},
        {"five: a second", {5, last, 1, last, 1, last}, last, "account slowed", 1s},
        {"six: two seconds", {6, last, 1, last, 1, last}, last, "account slowed", 2s},
        {"eight: eight seconds", {8, last, 1, last, 1, last}, last, "account slowed", 8s},
        {"eight, three seconds on", {8, last, 1, last, 1, last}, last + 3s, "account slowed", 5s},
        {"eight, once waited out", {8, last, 1, last, 1, last}, last + 8s, std::nullopt, 0s},
        {"forty: at most a minute", {40, last, 1, last, 1, last}, last, "account slowed", 60s},
        {"a million: still a minute", {1000000, last, 1, last, 1, last}, last, "account slowed", 60s},
        {"forty from one caller, at a clean one", {40, last, 0, none, 0, none, 1}, last, std::nullopt, 0s},
        {"forty from two callers, at a clean one", {40, last, 0, none, 0, none, 2}, last, std::nullopt, 0s},
        {"forty from two, at one that refused others", {40, last, 0, none, 3, last, 2}, last, std::nullopt, 0s},
        {"four from three callers, at a clean one", {4, last, 0, none, 0, none, 3}, last, std::nullopt, 0s},
        {"five from three callers, at a clean one", {5, last, 0, none, 0, none, 3}, last, "account slowed", 1s},
        {"a million from many, at a clean one", {1000000, last, 0, none, 0, none, 900}, last, "account slowed", 60s},
        {"five of the account here", {5, last, 5, t0 - 5min, 5, t0 - 5min}, t0, "account held for this address", 10min},
        {"twenty from the address", {0, std::nullopt, 0, std::nullopt, 20, t0 - 14min}, t0, "address held", 1min},
        {"twenty, the oldest just gone", {0, std::nullopt, 0, std::nullopt, 19, t0 - 14min}, t0, std::nullopt, 0s},
    };
    for (const auto& c : cases) {
        const std::optional<SignInHold> hold = sign_in_hold(c.refused, c.at, AccountPolicy{});
        EXPECT_EQ(hold ? std::optional(hold->reason) : std::nullopt, c.reason) << c.name;
        EXPECT_EQ(hold ? hold->retry_after : 0s, c.retry_after) << c.name;
    }
}

// An IPv6 caller is counted by its /64, as the connection limit counts it: a caller with a /64 has its
// addresses, and they share one hold. IPv4 is counted by its address, written as IPv4-mapped IPv6 too.
TEST_P(AccountsTest, AnIpv6CallerIsHeldByItsSlash64AndIpv4ByItsAddress) {
    store_->add_user({"bob", password_hash()});
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(sign_in(*store_, "ana", "guess", "2001:db8:1:2::1", t0 + i * 10s).outcome, SignInOutcome::Refused);
        store_->note_refused_sign_in("bob", "192.0.2.1", t0 + i * 10s);
    }
    const struct {
        const char* user;
        const char* address;
        std::string password;
        SignInOutcome expected;
    } cases[] = {
        {"ana", "2001:db8:1:2::2", "guess", SignInOutcome::Throttled},
        {"ana", "2001:db8:1:2::3", "guess", SignInOutcome::Throttled},
        {"ana", "2001:db8:1:2:ffff:ffff:ffff:ffff", PASSWORD, SignInOutcome::Throttled},
        {"ana", "2001:db8:1:3::1", PASSWORD, SignInOutcome::SignedIn},
        {"bob", "::ffff:192.0.2.1", PASSWORD, SignInOutcome::Throttled},
        {"bob", "192.0.2.2", PASSWORD, SignInOutcome::SignedIn},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sign_in(*store_, c.user, c.password, c.address, t0 + 1min).outcome, c.expected) << c.address;
}

// Refusals of an account from several callers put it under attack: then every caller waits the account's
// delay after its latest refusal, one that has not refused it too, and never more than a minute. Refusals
// from one caller alone, however many, slow nobody else.
TEST_P(AccountsTest, AnAccountUnderAttackSlowsEveryCallerForAtMostAMinute) {
    for (int i = 0; i < 5; ++i)
        store_->note_refused_sign_in("ana", "198.51.100.7", t0 + i * 10s);
    EXPECT_EQ(sign_in(*store_, "ana", PASSWORD, "203.0.113.1", t0 + 40s).outcome, SignInOutcome::SignedIn)
        << "five refusals from one caller";
    ASSERT_EQ(sign_in(*store_, "ana", "guess", "198.51.100.8", t0 + 50s).outcome, SignInOutcome::Refused);
    ASSERT_EQ(sign_in(*store_, "ana", "guess", "2001:db8:7::1", t0 + 60s).outcome, SignInOutcome::Refused);
    const SignInResult slowed = sign_in(*store_, "ana", PASSWORD, "203.0.113.2", t0 + 61s);
    EXPECT_EQ(slowed.outcome, SignInOutcome::Throttled) << "seven refusals from three callers";
    EXPECT_EQ(slowed.retry_after, 3s) << "four seconds after the seventh";
    EXPECT_EQ(sign_in(*store_, "ana", PASSWORD, "203.0.113.2", t0 + 64s).outcome, SignInOutcome::SignedIn);
}

// Attempts made at once, through two stores on one database as two instances would make them, each take a
// place of their own under the limits: of twelve wrong passwords at once from one address, five are checked
// and counted, and the others are held without hashing. A right password gives its place back.
TEST_P(AccountsTest, AttemptsMadeAtOnceEachTakeTheirOwnPlaceUnderTheLimit) {
    const std::unique_ptr<Store> second = scratch_->open();
    const std::vector<SignInOutcome> outcomes = at_once(12, [&](std::size_t i) {
        return sign_in(i % 2 == 0 ? *store_ : *second, "ana", "guess", "192.0.2.1", t0).outcome;
    });
    EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), SignInOutcome::Refused), 5);
    EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), SignInOutcome::Throttled), 7);
    EXPECT_EQ(second->refused_sign_ins("ana", "192.0.2.1", t0 - 1min).of_user_here, 5u);

    store_->add_user({"bob", password_hash()});
    for (int i = 0; i < 4; ++i)
        store_->note_refused_sign_in("bob", "192.0.2.2", t0 + i * 1s);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(sign_in(*store_, "bob", PASSWORD, "192.0.2.2", t0 + 10s).outcome, SignInOutcome::SignedIn) << i;
}

// The release before counted every caller by its whole address, and noted its refusals so: after the
// upgrade they still hold the address that made them, until they leave the window.
class ThrottleUpgradeTest : public ::testing::TestWithParam<Backend> {};
INSTANTIATE_TEST_SUITE_P(Backends, ThrottleUpgradeTest, every_backend, backend_name);

TEST_P(ThrottleUpgradeTest, RefusalsNotedBeforeTheUpgradeStillHold) {
    LUMRESULTS_NEED_BACKEND(GetParam());
    constexpr std::size_t RELEASE_BEFORE = 9; // its schema's steps
    ScratchFolder folder("lumresults_upgrade_");
    ScratchStore scratch(GetParam(), folder.path() / "data");
    const auto note_refusals = [](sql::Session& session) {
        for (const char* address : {"2001:db8:1:2::1", "192.0.2.1"})
            for (int i = 0; i < 5; ++i)
                session.execute("INSERT INTO refused_sign_ins (\"user\", address, time_ms) VALUES ($1, $2, $3)",
                                sql::Params().bytes("ana").text(address).time(t0 + i * 10s), "noting a refusal");
    };
    if (ScratchPostgres* database = scratch.database()) {
        postgres::Session session(database->url(), "the release before");
        postgres::migrate(session, postgres::migrations().first(RELEASE_BEFORE));
        note_refusals(session);
    } else {
        std::filesystem::create_directories(folder.path() / "data");
        const sqlite::Connection db = sqlite::open_connection(sqlite::store_file(folder.path() / "data"));
        sqlite::migrate(db.get(), sqlite::migrations().first(RELEASE_BEFORE));
        sqlite::Session session(db.get());
        note_refusals(session);
    }
    const std::unique_ptr<Store> store = scratch.open();
    store->add_user({"ana", password_hash()});
    for (const char* address : {"2001:db8:1:2::1", "192.0.2.1"})
        EXPECT_EQ(sign_in(*store, "ana", PASSWORD, address, t0 + 1min).outcome, SignInOutcome::Throttled) << address;
    EXPECT_EQ(sign_in(*store, "ana", PASSWORD, "192.0.2.1", t0 + 15min + 10s).outcome, SignInOutcome::SignedIn);
}

// A name no account can have costs the store a bounded entry, however long it is typed.
TEST_P(AccountsTest, ALongTypedNameIsKeptOnlyAsItsStart) {
    const std::string typed(8 * 1024, 'n');
    EXPECT_EQ(sign_in(*store_, typed, "guess", "192.0.2.1", t0).outcome, SignInOutcome::Refused);
    const std::vector<AuditEntry> audit = store_->list_audit(1);
    ASSERT_EQ(audit.size(), 1u);
    EXPECT_EQ(audit[0].user, std::string(MOST_USER_NAME_BYTES, 'n') + "\xE2\x80\xA6");
    EXPECT_EQ(store_->refused_sign_ins(audit[0].user, "192.0.2.1", t0).of_user_here, 1u);
}

TEST_P(AccountsTest, ThrottlingCountsRefusalsPerAddressWithinTheWindow) {
    const struct {
        const char* name;
        int refusals;
        bool same_user;    // the refusals were of "ana", else of many names
        bool same_address; // from the address signing in now, else from many
        std::chrono::minutes age;
        SignInOutcome expected;
    } cases[] = {
        {"four of the account from here", 4, true, true, 2min, SignInOutcome::SignedIn},
        {"five of the account from here", 5, true, true, 1min, SignInOutcome::Throttled},
        {"five of the account from here, all old", 5, true, true, 16min, SignInOutcome::SignedIn},
        {"thirty of the account from elsewhere, a minute ago", 30, true, false, 1min, SignInOutcome::SignedIn},
        {"nineteen from the address", 19, false, true, 1min, SignInOutcome::SignedIn},
        {"twenty from the address", 20, false, true, 1min, SignInOutcome::Throttled},
        {"twenty from the address, all old", 20, false, true, 16min, SignInOutcome::SignedIn},
        {"twenty from elsewhere", 20, false, false, 1min, SignInOutcome::SignedIn},
    };
    for (const auto& c : cases) {
        ScratchFolder folder("lumresults_throttle_");
        const ScratchStore scratch(GetParam(), folder.path() / "data");
        const std::unique_ptr<Store> store = scratch.open();
        store->add_user({"ana", password_hash()});
        for (int i = 0; i < c.refusals; ++i)
            store->note_refused_sign_in(c.same_user ? "ana" : "user" + std::to_string(i),
                                        c.same_address ? "203.0.113.7" : "192.0.2." + std::to_string(i), t0 - c.age);
        EXPECT_EQ(sign_in(*store, "ana", PASSWORD, "203.0.113.7", t0).outcome, c.expected) << c.name;
    }
}

// A flood of refused sign-ins from one address, each with a long name of its own, leaves a few audit lines
// that count them, not a line each.
TEST_P(AccountsTest, RepeatedRefusalsFromOneAddressShareTheirAuditLines) {
    constexpr std::uint64_t ATTEMPTS = 2000;
    for (std::uint64_t i = 0; i < ATTEMPTS; ++i) {
        const std::string name = std::to_string(i) + std::string(1000, 'n');
        ASSERT_NE(sign_in(*store_, name, "guess", "203.0.113.9", t0 + i * 100ms).outcome, SignInOutcome::SignedIn);
    }
    const std::vector<AuditEntry> lines = store_->list_audit(100);
    ASSERT_EQ(lines.size(), 2u);
    std::map<std::string, const AuditEntry*> by_action;
    for (const AuditEntry& line : lines)
        by_action[line.action] = &line;
    const AuditEntry& refused = *by_action.at("sign-in refused");
    const AuditEntry& throttled = *by_action.at("sign-in throttled");
    EXPECT_EQ(refused.repeats, 20u) << "the address is held after twenty";
    EXPECT_EQ(throttled.repeats, ATTEMPTS - 20);
    EXPECT_EQ(throttled.detail, "address held");
    EXPECT_EQ(throttled.last, t0 + (ATTEMPTS - 1) * 100ms);
    EXPECT_TRUE(refused.other_users);
    EXPECT_EQ(refused.user.size(), MOST_USER_NAME_BYTES + 3) << "the first name, cut short";
    EXPECT_EQ(sign_in(*store_, "ana", PASSWORD, "198.51.100.1", t0 + ATTEMPTS * 100ms).outcome,
              SignInOutcome::SignedIn);
}

TEST_P(AccountsTest, SessionsEndWhenIdleTooLongAndAfterTheirLifetime) {
    const struct {
        const char* name;
        std::vector<std::chrono::minutes> uses; // minutes after sign-in
        bool live_at_last;
    } cases[] = {
        {"used within the idle time", {29min}, true},
        {"first used after the idle time", {30min}, false},
        {"gone for good once expired", {31min, 32min}, false},
    };
    for (const auto& c : cases) {
        const SignInResult signed_in = sign_in(*store_, "ana", PASSWORD, "192.0.2.1", t0);
        ASSERT_EQ(signed_in.outcome, SignInOutcome::SignedIn);
        std::optional<Principal> last;
        for (const auto at : c.uses)
            last = session_of(*store_, signed_in.cookie_value, t0 + at);
        EXPECT_EQ(last.has_value(), c.live_at_last) << c.name;
    }
    // A session used throughout stays live until the lifetime ends, and not past it.
    const SignInResult busy = sign_in(*store_, "ana", PASSWORD, "192.0.2.1", t0);
    for (auto at = 20min; at < 12h; at += 20min)
        ASSERT_TRUE(session_of(*store_, busy.cookie_value, t0 + at)) << at.count();
    EXPECT_FALSE(session_of(*store_, busy.cookie_value, t0 + 12h));
}

TEST_P(AccountsTest, EverySignInStartsANewSessionKeptOnlyAsAHash) {
    const SignInResult first = sign_in(*store_, "ana", PASSWORD, "192.0.2.1", t0);
    const SignInResult second = sign_in(*store_, "ana", PASSWORD, "192.0.2.1", t0 + 1s);
    ASSERT_EQ(second.outcome, SignInOutcome::SignedIn);
    EXPECT_TRUE(is_token_text(first.cookie_value));
    EXPECT_NE(first.cookie_value, second.cookie_value);
    EXPECT_NE(first.principal.csrf, second.principal.csrf);
    EXPECT_EQ(first.principal.session_key, token_key(first.cookie_value));
    EXPECT_FALSE(store_->find_session(first.cookie_value)) << "the cookie itself is not stored";

    const std::optional<Principal> found = session_of(*store_, first.cookie_value, t0 + 2s);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "ana");
    EXPECT_EQ(found->csrf, first.principal.csrf);

    sign_out(*store_, first.principal, "192.0.2.1", t0 + 3s);
    EXPECT_FALSE(session_of(*store_, first.cookie_value, t0 + 4s));
    EXPECT_TRUE(session_of(*store_, second.cookie_value, t0 + 4s));
    EXPECT_EQ(audit_actions(), (std::vector<std::string>{"sign-in", "sign-in", "sign-out"}));
}

TEST_P(AccountsTest, AnUnknownUserIsRefusedAndARemovedUsersSessionsEnd) {
    EXPECT_EQ(sign_in(*store_, "bob", PASSWORD, "192.0.2.1", t0).outcome, SignInOutcome::Refused);
    const SignInResult signed_in = sign_in(*store_, "ana", PASSWORD, "192.0.2.1", t0);
    ASSERT_TRUE(store_->remove_user("ana"));
    EXPECT_FALSE(session_of(*store_, signed_in.cookie_value, t0 + 1s));
    EXPECT_EQ(sign_in(*store_, "ana", PASSWORD, "192.0.2.1", t0 + 2s).outcome, SignInOutcome::Refused);
}

TEST(CsrfTest, OnlyTheWholeTokenMatches) {
    const Principal principal{"ana", "key", std::string(64, 'a')};
    const struct {
        std::string given;
        bool matches;
    } cases[] = {
        {std::string(64, 'a'), true},        {"", false}, {std::string(63, 'a'), false}, {std::string(65, 'a'), false},
        {std::string(63, 'a') + "b", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(csrf_matches(principal, c.given), c.matches) << c.given;
    EXPECT_FALSE(csrf_matches(Principal{"token", "", ""}, "")) << "a principal without a form token matches nothing";
}

TEST(CookiesTest, TheSessionCookieIsFoundByItsExactName) {
    const struct {
        const char* header;
        std::optional<std::string> value;
    } cases[] = {
        {"lumresults_session=abc", "abc"},
        {"a=1; lumresults_session=abc; b=2", "abc"},
        {"a=1;lumresults_session=abc", "abc"},
        {"lumresults_session_old=abc", std::nullopt},
        {"xlumresults_session=abc", std::nullopt},
        {"lumresults_signin=abc", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cookie_value(c.header, SESSION_COOKIE), c.value) << c.header;
    EXPECT_EQ(session_cookie("v", false), "lumresults_session=v; Path=/support/; HttpOnly; SameSite=Strict");
    EXPECT_EQ(session_cookie("v", true), "lumresults_session=v; Path=/support/; HttpOnly; SameSite=Strict; Secure");
    EXPECT_NE(ended_session_cookie(true).find("Max-Age=0"), std::string::npos);
}

// A request as the server would hand it to the gate.
Request request_of(std::string method, std::string path, std::map<std::string, std::string> headers,
                   std::vector<std::pair<std::string, std::string>> query = {}) {
    Request request;
    request.method = std::move(method);
    request.path = std::move(path);
    request.query = std::move(query);
    request.header = [headers = std::move(headers)](std::string_view name) -> std::optional<std::string> {
        const auto found = headers.find(std::string(name));
        if (found == headers.end()) return std::nullopt;
        return found->second;
    };
    return request;
}

std::string header_of(const Response& response, std::string_view name) {
    for (const auto& [key, value] : response.headers)
        if (key == name) return value;
    return {};
}

TEST_P(AccountsTest, TheGateSendsPagesToSignInAndRefusesEverythingElse) {
    const Gate gate = make_gate(*store_);
    Request page = request_of("GET", "/support/reports/7", {}, {{"ip", "10.0.0.1"}, {"match", "a&b c"}});
    std::optional<Response> refusal = gate(STAFF_ROUTE, page);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->status, 303u);
    EXPECT_EQ(header_of(*refusal, "Location"),
              "/support/sign-in?next=%2Fsupport%2Freports%2F7%3Fip%3D10.0.0.1%26match%3Da%2526b%2520c");

    for (const char* method : {"POST", "PUT", "DELETE"}) {
        Request form = request_of(method, "/support/sign-out", {{"Cookie", "lumresults_session=" + random_token()}});
        refusal = gate(STAFF_ROUTE, form);
        ASSERT_TRUE(refusal) << method;
        EXPECT_EQ(refusal->status, 401u) << method;
    }

    const SignInResult signed_in = sign_in(*store_, "ana", PASSWORD, "192.0.2.1", Clock::now());
    Request live =
        request_of("POST", "/support/sign-out", {{"Cookie", "x=1; lumresults_session=" + signed_in.cookie_value}});
    EXPECT_FALSE(gate(STAFF_ROUTE, live));
    ASSERT_TRUE(live.principal);
    EXPECT_EQ(live.principal->name, "ana");
    EXPECT_EQ(live.principal->csrf, signed_in.principal.csrf);
}

TEST_P(AccountsTest, TheGateLetsInOnlyAKnownBearerToken) {
    const std::string token = random_token();
    ASSERT_TRUE(store_->add_token("billing", token_key(token), Roles::all()));
    std::string upper = token;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const struct {
        std::optional<std::string> authorization;
        bool let_in;
    } cases[] = {
        {"Bearer " + token, true},
        {"bearer " + token, true},
        {"Bearer  " + token, true},
        {std::nullopt, false},
        {"Bearer " + random_token(), false},
        {"Bearer " + upper, false},
        {"Basic " + token, false},
        {"Bearer " + token + "0", false},
        {token, false},
        {"Bearer " + token_key(token), false},
    };
    const Gate gate = make_gate(*store_);
    for (const auto& c : cases) {
        std::map<std::string, std::string> headers;
        if (c.authorization) headers["Authorization"] = *c.authorization;
        Request request = request_of("GET", "/api/v1/reports", headers);
        const std::optional<Response> refusal = gate(TOKEN_ROUTE, request);
        EXPECT_EQ(!refusal, c.let_in) << c.authorization.value_or("(none)");
        if (refusal) {
            EXPECT_EQ(refusal->status, 401u);
            EXPECT_EQ(header_of(*refusal, "WWW-Authenticate"), "Bearer");
        } else {
            EXPECT_EQ(request.principal->name, "billing");
        }
    }
}

TEST_P(AccountsTest, TheSweepDeletesOldReportsAndSpeedTestsAndExpiredSessions) {
    const auto report_at = [&](Clock::time_point received) {
        const auto content = folder_.path() / ("content" + std::to_string(received.time_since_epoch().count()));
        std::ofstream(content, std::ios::binary) << "report";
        return store_->put_report(
            {"192.0.2.1", received, "lumtest.log", "text/plain", 6, std::string(64, 'a'), content});
    };
    report_at(t0 - std::chrono::days(401));
    const std::int64_t kept = report_at(t0 - std::chrono::days(399));
    store_->put_speed_test({"192.0.2.1", t0 - std::chrono::days(401), "", 1.0, 1.0, 1.0, 1.0});
    const std::int64_t kept_test =
        store_->put_speed_test({"192.0.2.1", t0 - std::chrono::days(399), "", {}, {}, {}, {}});
    store_->put_session({"idle", "ana", "csrf", t0 - 1h, t0 - 31min});
    store_->put_session({"busy", "ana", "csrf", t0 - 1h, t0 - 29min});

    const SweepCounts kept_for_ever = sweep_expired(*store_, {0, {}}, t0);
    EXPECT_EQ(kept_for_ever.reports, 0u);
    EXPECT_EQ(kept_for_ever.speed_tests, 0u);
    EXPECT_EQ(kept_for_ever.sessions, 1u);
    EXPECT_EQ(store_->list_reports({}).size(), 2u);
    const SweepCounts counts = sweep_expired(*store_, {400, {}}, t0 + 1s);
    EXPECT_EQ(counts.reports, 1u);
    EXPECT_EQ(counts.speed_tests, 1u);
    const std::vector<SpeedTest> tests_left = store_->search_speed_tests({});
    ASSERT_EQ(tests_left.size(), 1u);
    EXPECT_EQ(tests_left[0].id, kept_test);
    const std::vector<ReportInfo> left = store_->list_reports({});
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].id, kept);
    EXPECT_FALSE(store_->find_session("idle"));
    EXPECT_TRUE(store_->find_session("busy"));
}

// The audit log names addresses and whatever anyone typed at sign-in: it is kept its own time, not for ever.
TEST_P(AccountsTest, AuditLinesAreKeptOnlyTheirOwnTime) {
    for (const int age : {31, 29})
        store_->append_audit({t0 - std::chrono::days(age), "ana", "192.0.2.1", "sign-in", std::to_string(age)});
    EXPECT_EQ(sweep_expired(*store_, {0, {}, 0}, t0).audit_lines, 0u) << "0 keeps them for ever";
    EXPECT_EQ(sweep_expired(*store_, {0, {}, 30}, t0).audit_lines, 1u);
    const std::vector<AuditEntry> left = store_->list_audit(10);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].detail, "29");
}

} // namespace
