// tests/server/session_store_test.cpp: sessions from accounting records on both stores: built up, repeats
// recognised, nodes restarting, and who held an address at a time.
#include "server/store/store.h"

#include "store_backends.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace lumresults;
using namespace std::chrono_literals;
using lum::testing_support::ScratchFolder;
using namespace lumresults::testing_support;

namespace {

const Clock::time_point t0 = std::chrono::sys_days{std::chrono::year{2026} / 5 / 6} + 7h;

AccountingRecord record(std::uint32_t status, std::string session, Clock::time_point event,
                        std::string node = "192.0.2.1") {
    AccountingRecord r;
    r.node_address = std::move(node);
    r.node_id = "bng-east";
    r.session_id = std::move(session);
    r.status = status;
    r.event = event;
    return r;
}

AccountingRecord start(std::string session, std::string user, std::string ipv4, Clock::time_point event) {
    AccountingRecord r = record(1, std::move(session), event);
    r.user_name = std::move(user);
    r.ipv4 = std::move(ipv4);
    r.port_id = "eth0/1";
    r.calling_station = "00-11-22-33-44-55";
    return r;
}

class SessionStoreTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        LUMRESULTS_NEED_BACKEND(GetParam());
        store.reset(); // closed before its database goes
        scratch.emplace(GetParam(), folder.path() / ("data-" + std::to_string(++stores_)));
        store = scratch->open();
    }

    // A report from `caller` at `received`, its reading kept as an upload keeps it.
    std::int64_t report(const std::string& caller, Clock::time_point received, const std::string& mac = "") {
        const auto content = folder.path() / ("report-" + std::to_string(++reports_));
        std::ofstream(content) << "report";
        const std::int64_t id = store->put_report({caller, received, "lumtest.log", "text/plain", 6, std::string(64, 'a'), content});
        ReportReading reading(1, true, 0, "release", "{}");
        if (!mac.empty()) reading.computer.macs = {mac};
        store->put_reading(id, reading);
        return id;
    }

    std::string subscriber_of(std::int64_t id) {
        const std::optional<ReportSubscriber> found = store->report_subscriber(id);
        return found ? found->user_name + " on " + found->node_address + " " + found->port_id : "nobody";
    }

    std::string holder(std::string_view address, Clock::time_point when) {
        const std::optional<SubscriberSession> found = store->session_at(address, when);
        return found ? found->user_name : "nobody";
    }

    int reports_ = 0;
    int stores_ = 0;
    ScratchFolder folder{"lumresults_sessions_"};
    std::optional<ScratchStore> scratch;
    std::unique_ptr<Store> store;
};

INSTANTIATE_TEST_SUITE_P(Backends, SessionStoreTest, every_backend, backend_name);

using Outcomes = std::vector<AccountingOutcome>;
constexpr auto recorded = AccountingOutcome::recorded;
constexpr auto repeat = AccountingOutcome::repeat;

// A session's life in records, the Stop's retransmission among them, and the address passed on to another.
TEST_P(SessionStoreTest, RecordsBuildSessionsAndRepeatsChangeNothing) {
    AccountingRecord interim = record(3, "S1", t0 + 10min);
    interim.ipv6_prefixes = {"2001:db8:aa00::/56"};
    AccountingRecord stop = record(2, "S1", t0 + 1h);
    stop.cause = 1;
    EXPECT_EQ(store->put_accounting({start("S1", "alice", "100.64.1.2", t0), interim, stop}),
              (Outcomes{recorded, recorded, recorded}));
    // The same Stop sent again later without Event-Timestamp: its time worked out a second apart.
    AccountingRecord again = stop;
    again.event += 1s;
    again.cause = 2;
    EXPECT_EQ(store->put_accounting({again, start("S1", "mallory", "100.64.9.9", t0),
                                     start("S2", "bob", "100.64.1.2", t0 + 2h)}),
              (Outcomes{repeat, repeat, recorded}));

    const std::optional<SubscriberSession> alice = store->session_at("100.64.1.2", t0 + 30min);
    ASSERT_TRUE(alice);
    EXPECT_EQ(std::tuple(alice->user_name, alice->node_address, alice->node_id, alice->port_id, alice->ipv4),
              std::tuple("alice", "192.0.2.1", "bng-east", "eth0/1", "100.64.1.2"));
    EXPECT_EQ(alice->ipv6_prefixes, std::vector<std::string>{"2001:db8:aa00::/56"});
    EXPECT_EQ(alice->start, t0);
    EXPECT_EQ(alice->stop, t0 + 1h);
    EXPECT_EQ(alice->cause, 1);

    const std::vector<std::pair<std::pair<const char*, Clock::time_point>, const char*>> who = {
        {{"100.64.1.2", t0 - 1s}, "nobody"},        {{"100.64.1.2", t0}, "alice"},
        {{"100.64.1.2", t0 + 90min}, "nobody"},     {{"100.64.1.2", t0 + 3h}, "bob"},
        {{"2001:db8:aa00:12:1::7", t0 + 20min}, "alice"}, {{"2001:db8:ab00::1", t0 + 20min}, "nobody"},
        {{"100.64.9.9", t0 + 20min}, "nobody"},     {{"not an address", t0}, "nobody"},
    };
    for (const auto& [question, answer] : who)
        EXPECT_EQ(holder(question.first, question.second), answer) << question.first;
}

// Accounting-On closes the node's open sessions at its time, and no other node's; a Start that arrives
// after its Interim-Update moves the session's start back.
TEST_P(SessionStoreTest, AccountingOnClosesTheNodesOpenSessions) {
    AccountingRecord elsewhere = start("S9", "carol", "100.64.3.3", t0);
    elsewhere.node_address = "192.0.2.2";
    AccountingRecord late_interim = record(3, "S2", t0 + 5min);
    late_interim.ipv4 = "100.64.2.2";
    late_interim.user_name = "bob";
    store->put_accounting({start("S1", "alice", "100.64.1.1", t0), late_interim, elsewhere});
    store->put_accounting({start("S2", "", "", t0 + 1min), record(7, "", t0 + 1h)});
    EXPECT_EQ(holder("100.64.2.2", t0 + 2min), "bob");
    EXPECT_EQ(holder("100.64.1.1", t0 + 59min), "alice");
    EXPECT_EQ(holder("100.64.1.1", t0 + 61min), "nobody");
    EXPECT_EQ(holder("100.64.3.3", t0 + 61min), "carol");
    EXPECT_EQ(store->session_at("100.64.2.2", t0 + 2min)->stop, t0 + 1h);
}

TEST_P(SessionStoreTest, RetentionDeletesSessionsLastHeardOfBefore) {
    store->put_accounting({start("S1", "alice", "100.64.1.1", t0), start("S2", "bob", "100.64.2.2", t0 + 2h)});
    EXPECT_EQ(store->delete_sessions_before(t0 + 1h), 1u);
    EXPECT_EQ(holder("100.64.1.1", t0 + 1min), "nobody");
    EXPECT_EQ(holder("100.64.2.2", t0 + 3h), "bob");
    // Its records went too: the same Start is new again.
    EXPECT_EQ(store->put_accounting({start("S1", "alice", "100.64.1.1", t0)}), Outcomes{recorded});
}

// A report names the session that held its address when it arrived, whether the session came first or
// later, and the search finds reports by subscriber and by node.
TEST_P(SessionStoreTest, ReportsAreLinkedToTheirSubscribersSessionEarlyOrLate) {
    const std::int64_t before_any = report("100.64.1.1", t0 - 1min);
    store->put_accounting({start("S1", "alice", "100.64.1.1", t0)});
    const std::int64_t after_start = report("100.64.1.1", t0 + 1min);
    const std::int64_t before_its_session = report("100.64.2.2", t0 + 2min);
    const std::int64_t nobodys = report("100.64.3.3", t0 + 2min);
    AccountingRecord bob = start("S2", "bob", "100.64.2.2", t0 + 1min);
    bob.node_address = "192.0.2.7";
    store->put_accounting({bob});
    EXPECT_EQ(subscriber_of(before_any), "nobody");
    EXPECT_EQ(subscriber_of(after_start), "alice on 192.0.2.1 eth0/1");
    EXPECT_EQ(subscriber_of(before_its_session), "bob on 192.0.2.7 eth0/1");
    EXPECT_EQ(subscriber_of(nobodys), "nobody");
    EXPECT_EQ(store->report_subscriber(after_start)->session_start, t0);

    const auto ids = [&](const std::string& subscriber, const std::string& node) {
        ReportSearch search;
        search.subscriber = subscriber;
        search.node = node;
        std::vector<std::int64_t> found;
        for (const ReportSummary& row : store->search_reports(search)) {
            found.push_back(row.info.id);
            EXPECT_EQ(row.subscriber.has_value(), row.info.id != before_any && row.info.id != nobodys);
        }
        return found;
    };
    EXPECT_EQ(ids("alice", ""), std::vector<std::int64_t>{after_start});
    EXPECT_EQ(ids("", "192.0.2.7"), std::vector<std::int64_t>{before_its_session});
    EXPECT_EQ(ids("", "bng-east"), (std::vector<std::int64_t>{before_its_session, after_start}));
    EXPECT_EQ(ids("", "").size(), 4u);
}

// Each kind of erasure takes its subscriber's, computer's or address's rows and nobody else's.
TEST_P(SessionStoreTest, ForgettingTakesOnlyWhatItNames) {
    struct Case {
        const char* name;
        ForgetWhom whom;
        ForgetCounts gone;
        std::vector<std::string> left; // the holders of 100.64.1.1 and 100.64.2.2 afterwards, and the reports left
    };
    const std::vector<Case> cases = {
        {"subscriber", {.subscriber = "alice"}, {2, 1, 1}, {"nobody", "bob", "2"}},
        {"computer", {.computer_mac = "3C-52-82-4E-03-10"}, {1, 0, 0}, {"alice", "bob", "3"}},
        {"address", {.address = "100.64.2.2", .from = t0, .to = t0 + 1h}, {1, 1, 1}, {"alice", "nobody", "3"}},
    };
    for (const Case& c : cases) {
        SetUp(); // a store of its own for each case
        store->put_accounting({start("S1", "alice", "100.64.1.1", t0), start("S2", "bob", "100.64.2.2", t0)});
        report("100.64.1.1", t0 + 1min, "3C-52-82-4E-03-10");
        report("100.64.1.1", t0 + 2min);
        report("100.64.2.2", t0 + 3min);
        report("100.64.3.3", t0 + 4min);
        for (const char* caller : {"100.64.1.1", "100.64.2.2"})
            store->put_speed_test({caller, t0 + 5min, "browser", 10.0, 1.0, 5.0, 1.0});
        const ForgetCounts gone = store->forget(c.whom);
        EXPECT_EQ(std::tuple(gone.reports, gone.speed_tests, gone.sessions),
                  std::tuple(c.gone.reports, c.gone.speed_tests, c.gone.sessions)) << c.name;
        const std::vector<std::string> left = {holder("100.64.1.1", t0 + 10min), holder("100.64.2.2", t0 + 10min),
                                               std::to_string(store->search_reports({}).size())};
        EXPECT_EQ(left, c.left) << c.name;
    }
}

} // namespace
