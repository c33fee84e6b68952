// tests/server/accounting_test.cpp: lumresults' accounting listener against radclient playing the access nodes:
// what is answered, what is dropped unanswered, repeats, and a node's restart.
#include "raw_http.h"
#include "server/dashboard/accounts.h"
#include "radclient.h"
#include "server/store/store.h"
#include "server_child.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <regex>

using namespace lum::server_testing;
using lumresults::Clock;

namespace {

constexpr const char* SECRET = "testing123";
// Inside the test's own network namespace, where no other program listens.
constexpr const char* ACCOUNTING = "127.0.0.1:18130";
constexpr std::uint32_t T0 = 1765000000; // Event-Timestamp of the first records

// A radclient packet of these attribute lines.
std::string packet(const std::string& node, const std::string& status, const std::string& more) {
    return "NAS-IP-Address = " + node + "\nNAS-Identifier = \"bng\"\nAcct-Status-Type = " + status + "\n" + more + "\n";
}

std::string session(const std::string& node, const std::string& status, const std::string& id, const std::string& user,
                    const std::string& address, std::uint32_t event, int delay = 0) {
    return packet(node, status,
                  "Acct-Session-Id = \"" + id + "\"\nUser-Name = \"" + user + "\"\nFramed-IP-Address = " + address +
                      "\nNAS-Port-Id = \"eth0/" + id + "\"\nEvent-Timestamp = " + std::to_string(event) +
                      "\nAcct-Delay-Time = " + std::to_string(delay));
}

Clock::time_point at(std::uint32_t seconds) { return Clock::time_point(std::chrono::seconds(seconds)); }

class AccountingTest : public ::testing::Test {
protected:
    AccountingTest() {
        std::ofstream(folder.path() / "secret") << SECRET << "\n";
        std::ofstream(folder.path() / "conf") << "radius-listen = [::]:18130\nradius-client = 127.0.0.0/8 "
                                              << (folder.path() / "secret").string() << "\ntrusted-proxy = 127.0.0.1\n";
        server.emplace(folder.path() / "data", std::vector<std::string>{"--config", (folder.path() / "conf").string()},
                       folder.path() / "log");
        store = lumresults::open_sqlite_store(folder.path() / "data");
    }

    RadclientSummary send(const std::string& packets, const std::string& to = ACCOUNTING,
                          const std::string& secret = SECRET) {
        return send_accounting(folder.path(), packets, to, secret);
    }

    std::string holder(const std::string& address, std::uint32_t when) {
        const auto found = store->session_at(address, at(when));
        return found ? found->user_name + " on " + found->node_address + " " + found->port_id : "nobody";
    }

    int counted(const std::string& outcome) {
        const auto metrics = exchange(server->port(), simple_request("GET", "/metrics"));
        if (!metrics) return -1;
        std::smatch match;
        const std::regex line("outcome=\"" + outcome + "\"\\} (\\d+)");
        return std::regex_search(metrics->body, match, line) ? std::stoi(match[1]) : 0;
    }

    long long upload(const std::string& caller) {
        std::string request = upload_request(program_upload_body("Lumora Network Test report\r\n"));
        request.insert(request.find("Accept:"), "X-Forwarded-For: " + caller + "\r\n");
        const auto response = exchange(server->port(), request);
        return response ? acknowledged_id(*response).value_or(0) : 0;
    }

    // A GET as a signed-in member of staff, or with the API token.
    std::string staff_get(const std::string& target, const std::string& header) {
        const auto response = exchange(server->port(), "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                       "Connection: close\r\n" + header + "\r\n");
        EXPECT_TRUE(response && response->status == 200) << target;
        return response ? response->body : "";
    }

    lum::testing_support::ScratchFolder folder{"lumresults_accounting_"};
    std::optional<ServerChild> server;
    std::unique_ptr<lumresults::Store> store;
};

TEST_F(AccountingTest, AnswersWhatItRecordedAndNothingElse) {
    const std::string alice = session("192.0.2.1", "Start", "1", "alice", "100.64.1.1", T0);
    const std::string bob = session("192.0.2.2", "Start", "2", "bob", "100.64.2.2", T0);
    EXPECT_EQ(send(alice + "\n" + bob).answered, 2);

    // A forged secret, and a sender no radius-client line covers (::1), are dropped without an answer.
    const std::string mallory = session("192.0.2.1", "Start", "3", "mallory", "100.64.3.3", T0);
    EXPECT_EQ(send(mallory, ACCOUNTING, "guessed").lost, 1);
    EXPECT_EQ(send(mallory, "[::1]:18130").lost, 1);
    EXPECT_EQ(holder("100.64.3.3", T0 + 1), "nobody");

    // The Stop, and the same Stop sent again later: answered both times, recorded once.
    const std::string stop = session("192.0.2.1", "Stop", "1", "alice", "100.64.1.1", T0 + 600);
    EXPECT_EQ(send(stop).answered, 1);
    EXPECT_EQ(send(session("192.0.2.1", "Stop", "1", "alice", "100.64.1.1", T0 + 600, 30)).answered, 1);

    EXPECT_EQ(holder("100.64.1.1", T0 + 60), "alice on 192.0.2.1 eth0/1");
    EXPECT_EQ(holder("100.64.1.1", T0 + 601), "nobody");
    EXPECT_EQ(holder("100.64.2.2", T0 + 601), "bob on 192.0.2.2 eth0/2");
    EXPECT_EQ(counted("recorded"), 3);
    EXPECT_EQ(counted("repeat"), 1);
    EXPECT_EQ(counted("bad_authenticator"), 1);
    EXPECT_EQ(counted("unknown_client"), 1);
}

TEST_F(AccountingTest, AccountingOnClosesTheNodesOpenSessionsOnly) {
    EXPECT_EQ(send(session("192.0.2.1", "Start", "1", "alice", "100.64.1.1", T0) + "\n" +
                   session("192.0.2.1", "Start", "2", "carol", "100.64.1.2", T0) + "\n" +
                   session("192.0.2.2", "Start", "3", "bob", "100.64.2.2", T0))
                  .answered,
              3);
    EXPECT_EQ(send(packet("192.0.2.1", "Accounting-On", "Event-Timestamp = " + std::to_string(T0 + 300))).answered, 1);
    EXPECT_EQ(holder("100.64.1.1", T0 + 299), "alice on 192.0.2.1 eth0/1");
    EXPECT_EQ(holder("100.64.1.1", T0 + 301), "nobody");
    EXPECT_EQ(holder("100.64.1.2", T0 + 301), "nobody");
    EXPECT_EQ(holder("100.64.2.2", T0 + 301), "bob on 192.0.2.2 eth0/3");
}

// A report names its subscriber whether the session came before it or after, the page says how it knows,
// and the search and the API find every report of that subscriber, from any address.
TEST_F(AccountingTest, ReportsNameTheirSubscriberOnThePageSearchAndApi) {
    namespace dashboard = lumresults::dashboard;
    store->add_user({"ann", dashboard::hash_password("correct horse battery")});
    const std::string token = dashboard::random_token();
    store->add_token("robot", dashboard::token_key(token), lumresults::Roles::all());
    const auto now = static_cast<std::uint32_t>(std::time(nullptr));
    const auto signed_in = dashboard::sign_in(*store, "ann", "correct horse battery", "127.0.0.1", Clock::now());
    const std::string cookie = "Cookie: lumresults_session=" + signed_in.cookie_value + "\r\n";

    ASSERT_EQ(send(session("192.0.2.1", "Start", "1", "alice", "100.64.1.1", now - 120)).answered, 1);
    const long long known_first = upload("100.64.1.1");
    const long long known_later = upload("100.64.9.9");
    ASSERT_EQ(send(session("192.0.2.1", "Start", "2", "alice", "100.64.9.9", now - 60)).answered, 1);
    const long long nobodys = upload("100.64.7.7");

    const std::string page = staff_get("/support/reports/" + std::to_string(known_first), cookie);
    EXPECT_NE(page.find("<strong id=\"subscriber-name\">alice</strong>"), std::string::npos) << page;
    EXPECT_NE(page.find("on node 192.0.2.1 (bng) port eth0/1"), std::string::npos);
    EXPECT_NE(page.find("href=\"/support/?subscriber=alice\""), std::string::npos);
    EXPECT_NE(staff_get("/support/reports/" + std::to_string(nobodys), cookie).find("not known"), std::string::npos);

    const std::string found = staff_get("/support/?subscriber=alice", cookie);
    for (const long long id : {known_first, known_later})
        EXPECT_NE(found.find("data-id=\"" + std::to_string(id) + "\""), std::string::npos) << id;
    EXPECT_EQ(found.find("data-id=\"" + std::to_string(nobodys) + "\""), std::string::npos);
    const std::string api = staff_get("/api/v1/reports?node=bng", "Authorization: Bearer " + token + "\r\n");
    EXPECT_NE(api.find("\"subscriber\":\"alice\""), std::string::npos) << api;
    EXPECT_NE(api.find("\"node\":\"192.0.2.1 (bng)\""), std::string::npos);
    const auto audit = store->list_audit(10);
    EXPECT_TRUE(std::any_of(audit.begin(), audit.end(), [](const lumresults::AuditEntry& entry) {
        return entry.action == "reports searched" && entry.detail == "subscriber=alice";
    }));

    // Erased on request, while the server runs: the audit says who and how much, not whom.
    const CommandResult forgot =
        run_lumresults({"forget", "--data", (folder.path() / "data").string(), "--subscriber", "alice"});
    EXPECT_EQ(forgot.exit_code, 0);
    EXPECT_EQ(forgot.output, "lumresults: forgot 2 report(s), 0 speed test(s), 2 session(s)\n");
    const lumresults::AuditEntry last = store->list_audit(1).at(0);
    EXPECT_EQ(std::tuple(last.action, last.detail), std::tuple("personal data forgotten",
                                                               "2 report(s), 0 speed test(s), 2 session(s)"));
    EXPECT_EQ(staff_get("/support/?subscriber=alice", cookie).find("data-id="), std::string::npos);
    EXPECT_EQ(run_lumresults({"forget", "--data", (folder.path() / "data").string(), "--address", "100.64.7.7"})
                  .exit_code,
              2);
}

} // namespace
