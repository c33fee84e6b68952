// tests/server/roles_test.cpp: every guarded route of the running server with every role, and the links each
// role's pages show, read from the same route table the server serves.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "server/dashboard/accounts.h"
#include "server/site/results_site.h"
#include "served_table.h"
#include "server_child.h"
#include "staff_client.h"
#include "test_support.h"

namespace {

using namespace lum::server_testing;
using lum::testing_support::ScratchFolder;
using lumresults::Access;
using lumresults::Role;
using lumresults::Route;

const std::string PASSWORD = "a long enough password";

// One member of staff and one API token for each role alone.
struct Holder {
    Role role;
    std::string user;
    std::string token = lumresults::dashboard::random_token();
};

class RolesTest : public ::testing::Test {
protected:
    RolesTest() {
        const auto store = lumresults::open_sqlite_store(folder_.path() / "data");
        for (const Holder& holder : holders_) {
            store->add_user({holder.user, lumresults::dashboard::hash_password(PASSWORD), holder.role});
            store->add_token(holder.user, lumresults::dashboard::token_key(holder.token), holder.role);
        }
        server_.emplace(folder_.path() / "data", std::vector<std::string>{}, folder_.path() / "serve.log");
    }

    // A new session of the holder's (a sign-out ends one, so each form gets its own).
    std::string session_of(const Holder& holder) {
        const HttpResponse answer = post_sign_in(server_->port(), holder.user, PASSWORD);
        EXPECT_EQ(answer.status, 303) << holder.user << ": " << answer.body;
        return set_cookie(answer, "lumresults_session").value_or("");
    }

    // The request a holder makes of a route: a page with the session's cookie (a form with its token too), an
    // API path with the holder's token.
    std::string request_of(const Route& route, std::string_view method, const Holder& holder) {
        if (route.access == Access::Token)
            return form_request(method, target_of(route), "Authorization: Bearer " + holder.token + "\r\n");
        const std::string cookie = session_cookie(session_of(holder));
        if (method == "GET" || method == "HEAD") return form_request(method, target_of(route), cookie);
        return form_request(method, target_of(route), cookie, "csrf=" + csrf_of_page(cookie));
    }

    // The session's form token, from the bar of the page the session starts at.
    std::string csrf_of_page(const std::string& cookie) {
        for (const char* page : {"/support/", "/support/overview", "/support/audit"}) {
            const HttpResponse answer = send_to(server_->port(), form_request("GET", page, cookie));
            if (answer.status == 200) return csrf_field(answer.body);
        }
        return {};
    }

    ScratchFolder folder_{"lumresults_roles_"};
    const std::vector<Holder> holders_{{Role::Support, "sam"}, {Role::Network, "nia"}, {Role::Admin, "ada"}};
    std::optional<ServerChild> server_;
    const ServedTable table_{folder_.path() / "table"};
    const std::vector<Route>& routes_ = table_.routes();
};

// A route a holder's role is not among is answered 403 (and nothing else is): the gate decides, whatever the
// handler would have said. Walked from the table, so a route added later is walked too.
TEST_F(RolesTest, EveryGuardedRouteWithEveryRole) {
    std::size_t pairs = 0;
    std::set<Role> admitted_somewhere;
    for (const Route& route : routes_) {
        if (route.access != Access::Staff && route.access != Access::Token) continue;
        for (const Holder& holder : holders_) {
            const bool may = route.roles.has(holder.role);
            if (may) admitted_somewhere.insert(holder.role);
            for (const std::string_view method : route.methods) {
                const HttpResponse answer =
                    send_to(server_->port(), request_of(route, method, holder), method == "HEAD");
                const std::string said = holder.user + " " + std::string(method) + " " + target_of(route);
                if (may) {
                    EXPECT_NE(answer.status, 403) << said << ": " << answer.body;
                    EXPECT_NE(answer.status, 401) << said;
                    EXPECT_GT(answer.status, 0) << said;
                } else {
                    EXPECT_EQ(answer.status, 403) << said;
                }
                ++pairs;
            }
        }
    }
    EXPECT_EQ(admitted_somewhere.size(), holders_.size()) << "a role no guarded route admits";
    EXPECT_GE(pairs, 3u * 10u) << "fewer guarded routes than the dashboard has";
}

// Each role starts at a page it may see, and its pages link to the dashboard's pages it may follow and to
// no other; every link shown is one the role may follow.
TEST_F(RolesTest, PagesLinkOnlyWhereTheRoleMayGo) {
    const std::map<Role, std::pair<std::string, std::set<std::string>>> expected = {
        {Role::Support, {"/support/", {"search-link"}}},
        {Role::Network, {"/support/overview", {"overview-link"}}},
        {Role::Admin, {"/support/audit", {"audit-link"}}},
    };
    const std::regex nav_link(R"re(<a id="([a-z]+-link)" href="([^"]*)")re");
    for (const Holder& holder : holders_) {
        const HttpResponse signed_in = post_sign_in(server_->port(), holder.user, PASSWORD);
        const auto& [home, links] = expected.at(holder.role);
        EXPECT_EQ(signed_in.header("Location").value_or(""), home) << holder.user;
        const std::string cookie = session_cookie(set_cookie(signed_in, "lumresults_session").value_or(""));
        const HttpResponse page = send_to(server_->port(), form_request("GET", home, cookie));
        ASSERT_EQ(page.status, 200) << holder.user;
        std::set<std::string> shown;
        for (auto it = std::sregex_iterator(page.body.begin(), page.body.end(), nav_link); it != std::sregex_iterator();
             ++it) {
            shown.insert((*it)[1]);
            EXPECT_EQ(send_to(server_->port(), form_request("GET", (*it)[2].str(), cookie)).status, 200)
                << holder.user << " follows " << (*it)[2];
        }
        EXPECT_EQ(shown, links) << holder.user;
    }
}

} // namespace
