// tests/server/security_test.cpp: every dashboard and API route of the running server refuses a caller
// without a session or token, forms without their CSRF token are refused, and sign-in starts a new session.
#include <gtest/gtest.h>

#include <set>

#include "raw_http.h"
#include "server/site/results_site.h"
#include "server/dashboard/accounts.h"
#include "served_table.h"
#include "server_child.h"
#include "staff_client.h"
#include "test_support.h"

namespace {

using namespace lum::server_testing;
using namespace std::chrono_literals;
using lum::testing_support::ScratchFolder;
using lumresults::Access;
using lumresults::Route;

// The only routes under /support/ and /api/ that anyone may use: the way in.
const std::set<std::string_view> OPEN_ROUTES = {"/support/sign-in"};

const std::string PASSWORD = "a long enough password";

bool guarded_path(std::string_view path) { return path.starts_with("/support/") || path.starts_with("/api/"); }

class SecurityTest : public ::testing::Test {
protected:
    SecurityTest() {
        const auto store = lumresults::open_sqlite_store(folder_.path() / "data");
        store->add_user({"ana", lumresults::dashboard::hash_password(PASSWORD)});
    }

    HttpResponse send(const std::string& text, bool to_head = false) {
        std::optional<HttpResponse> response = exchange(server().port(), text, 10000ms, to_head);
        EXPECT_TRUE(response) << text;
        return response.value_or(HttpResponse{});
    }

    ServerChild& server() {
        if (!server_) server_.emplace(folder_.path() / "data", options_, folder_.path() / "serve.log");
        return *server_;
    }

    // Signs in as the sign-in page asks: its cookie and the same value in the form. The new session's cookie,
    // or nothing; `planted` is a session cookie the browser already had.
    std::optional<std::string> sign_in(const std::string& planted = {}) {
        const HttpResponse answer = sign_in_answer(planted);
        EXPECT_EQ(answer.status, 303) << answer.body;
        return set_cookie(answer, "lumresults_session");
    }

    // The answer to the sign-in form's POST, sent with `headers` besides its cookie.
    HttpResponse sign_in_answer(const std::string& planted = {}, const std::string& headers = {},
                                const std::string& password = "a+long+enough+password") {
        const HttpResponse page = send(form_request("GET", "/support/sign-in?next=/support/"));
        const std::optional<std::string> form_cookie = set_cookie(page, "lumresults_signin");
        EXPECT_TRUE(form_cookie);
        EXPECT_EQ(csrf_field(page.body), form_cookie.value_or("?"));
        std::string cookies = "Cookie: lumresults_signin=" + form_cookie.value_or("");
        if (!planted.empty()) cookies += "; lumresults_session=" + planted;
        return send(form_request("POST", "/support/sign-in", cookies + "\r\n" + headers,
                                 "user=ana&password=" + password + "&csrf=" + form_cookie.value_or("") +
                                     "&next=%2Fsupport%2F"));
    }

    ScratchFolder folder_{"lumresults_security_"};
    std::vector<std::string> options_; // the server's, when set before its first request
    std::optional<ServerChild> server_;
    const ServedTable table_{folder_.path() / "table"};
    const std::vector<Route>& routes_ = table_.routes();
};

TEST_F(SecurityTest, EveryDashboardAndApiRouteRefusesACallerWithoutSessionOrToken) {
    std::size_t guarded = 0;
    for (const Route& route : routes_) {
        if (!guarded_path(route.path)) continue;
        if (route.access == Access::Anyone) {
            EXPECT_TRUE(OPEN_ROUTES.contains(route.path)) << route.path << " is open to anyone";
            continue;
        }
        ASSERT_TRUE(route.access == Access::Staff || route.access == Access::Token) << route.path;
        ++guarded;
        for (const std::string_view method : route.methods) {
            const std::string target = target_of(route);
            const bool page = route.access == Access::Staff && (method == "GET" || method == "HEAD");
            const std::string wrong_credentials = route.access == Access::Staff
                                                      ? "Cookie: lumresults_session=" + std::string(64, 'a') + "\r\n"
                                                      : "Authorization: Bearer " + std::string(64, 'a') + "\r\n";
            for (const std::string& headers : {std::string(), wrong_credentials}) {
                const HttpResponse answer = send(form_request(method, target, headers), method == "HEAD");
                const std::string said = std::string(method) + " " + target + " " + headers;
                if (page) {
                    EXPECT_EQ(answer.status, 303) << said;
                    EXPECT_TRUE(answer.header("Location").value_or("").starts_with("/support/sign-in?next=")) << said;
                } else {
                    EXPECT_EQ(answer.status, 401) << said;
                }
                if (route.access == Access::Token) {
                    EXPECT_EQ(answer.header("WWW-Authenticate"), "Bearer") << said;
                }
            }
        }
    }
    EXPECT_GT(guarded, 0u) << "no dashboard or API routes in the table";
}

TEST_F(SecurityTest, SignInStartsANewSessionWhateverTheBrowserHad) {
    const std::optional<std::string> planted = sign_in();
    ASSERT_TRUE(planted);
    const std::optional<std::string> next = sign_in(*planted);
    ASSERT_TRUE(next);
    EXPECT_NE(*next, *planted);
    EXPECT_EQ(send(form_request("GET", "/support/", "Cookie: lumresults_session=" + *next + "\r\n")).status, 200);
}

TEST_F(SecurityTest, FormsWithoutTheirCsrfTokenAreRefused) {
    // The sign-in form: its token is the cookie the form page set.
    const HttpResponse page = send(form_request("GET", "/support/sign-in"));
    const std::string form_cookie = set_cookie(page, "lumresults_signin").value_or("");
    for (const std::string& csrf : {std::string(), std::string("&csrf="), "&csrf=" + std::string(64, '0')}) {
        const HttpResponse answer =
            send(form_request("POST", "/support/sign-in", "Cookie: lumresults_signin=" + form_cookie + "\r\n",
                              "user=ana&password=a+long+enough+password" + csrf));
        EXPECT_EQ(answer.status, 403) << csrf;
        EXPECT_FALSE(set_cookie(answer, "lumresults_session")) << csrf;
    }
    // Every form of a session: each Staff route that takes a body refuses one without the session's token.
    const std::optional<std::string> session = sign_in();
    ASSERT_TRUE(session);
    const std::string cookie = "Cookie: lumresults_session=" + *session + "\r\n";
    for (const Route& route : routes_) {
        if (route.access != Access::Staff) continue;
        for (const std::string_view method : route.methods)
            if (method != "GET" && method != "HEAD") {
                EXPECT_EQ(send(form_request(method, target_of(route), cookie, "x=1")).status, 403) << route.path;
            }
    }
    EXPECT_EQ(send(form_request("GET", "/support/", cookie)).status, 200) << "the refused sign-out left the session";
    // And with its token, sign-out ends the session.
    const std::string csrf = csrf_field(send(form_request("GET", "/support/", cookie)).body);
    ASSERT_FALSE(csrf.empty());
    EXPECT_EQ(send(form_request("POST", "/support/sign-out", cookie, "csrf=" + csrf)).status, 303);
    EXPECT_EQ(send(form_request("GET", "/support/", cookie)).status, 303);
}

// Another site's page can post the sign-in form too (to sign a browser in to an account it chose): what
// the browser says of the page's site is refused, even beside a form token that matches.
TEST_F(SecurityTest, SignInFromAnotherSitesPageIsRefused) {
    for (const std::string header :
         {"Origin: http://evil.example\r\n", "Origin: null\r\n", "Sec-Fetch-Site: cross-site\r\n"}) {
        const HttpResponse answer = sign_in_answer({}, header);
        EXPECT_EQ(answer.status, 403) << header;
        EXPECT_FALSE(set_cookie(answer, "lumresults_session")) << header;
    }
    const std::string own = "Origin: http://127.0.0.1:" + std::to_string(server().port()) + "\r\n";
    EXPECT_EQ(sign_in_answer({}, own + "Sec-Fetch-Site: same-origin\r\n").status, 303);
}

// A held address is told when it may try again, in the page and in Retry-After.
TEST_F(SecurityTest, AHeldAddressIsToldWhenToTryAgain) {
    for (int attempt = 0; attempt < 5; ++attempt)
        EXPECT_EQ(sign_in_answer({}, {}, "wrong").status, 401) << attempt;
    const HttpResponse held = sign_in_answer();
    EXPECT_EQ(held.status, 429);
    const int retry_after = std::stoi(held.header("Retry-After").value_or("0"));
    EXPECT_GT(retry_after, 14 * 60);
    EXPECT_LE(retry_after, 15 * 60);
    EXPECT_NE(held.body.find("Try again in 15 minutes."), std::string::npos) << held.body;
}

// Behind a trusted proxy the caller is the address the proxy names. Five wrong passwords from one address of
// an IPv6 /64 hold the whole /64 for the account, as the connection limit counts it: its other addresses get
// no password checked either.
TEST_F(SecurityTest, AnIpv6CallerIsHeldByItsSlash64) {
    options_ = {"--trusted-proxy", "127.0.0.1"};
    const auto from = [](const char* address) { return "X-Forwarded-For: " + std::string(address) + "\r\n"; };
    for (int attempt = 0; attempt < 5; ++attempt)
        EXPECT_EQ(sign_in_answer({}, from("2001:db8:1:2::1"), "wrong").status, 401) << attempt;
    for (const char* other : {"2001:db8:1:2::2", "2001:db8:1:2::3", "2001:db8:1:2:abcd::4"})
        EXPECT_EQ(sign_in_answer({}, from(other), "wrong").status, 429) << other;
    EXPECT_EQ(sign_in_answer({}, from("2001:db8:1:3::1")).status, 303) << "another /64";
}

// A search names subscribers as a report page does: each search, export and listing is written to the audit
// log with who asked, from where and for what, the filters bounded however long they were typed.
TEST_F(SecurityTest, SearchesExportsAndListingsAreAudited) {
    const std::string token = lumresults::dashboard::random_token();
    lumresults::open_sqlite_store(folder_.path() / "data")
        ->add_token("crm", lumresults::dashboard::token_key(token), lumresults::Roles::all());
    const std::optional<std::string> session = sign_in();
    ASSERT_TRUE(session);
    const std::string cookie = "Cookie: lumresults_session=" + *session + "\r\n";
    const std::string bearer = "Authorization: Bearer " + token + "\r\n";
    const std::string long_start(5000, '1');
    const struct {
        std::string target;
        std::string headers;
        std::string user, action, detail;
    } cases[] = {
        {"/support/?ip=10.1.2.3", cookie, "ana", "reports searched", "ip=10.1.2.3"},
        {"/support/", cookie, "ana", "reports searched", ""},
        {"/support/reports.csv?ip=10.1.&match=prefix&failed=any", cookie, "ana", "reports exported",
         "ip=10.1.&match=prefix&failed=any"},
        {"/api/v1/reports?from=2026-05-01&format=csv", bearer, "crm", "reports listed", "from=2026-05-01"},
        {"/api/v1/speedtests?ip=10.1.&match=prefix", bearer, "crm", "speed tests listed", "ip=10.1.&match=prefix"},
        {"/support/?match=prefix&ip=" + long_start, cookie, "ana", "reports searched",
         "ip=" + long_start.substr(0, 253) + "\xE2\x80\xA6"},
    };
    const auto store = lumresults::open_sqlite_store(folder_.path() / "data");
    for (const auto& c : cases) {
        ASSERT_EQ(send(form_request("GET", c.target, c.headers)).status, 200) << c.target;
        const std::vector<lumresults::AuditEntry> newest = store->list_audit(1);
        ASSERT_EQ(newest.size(), 1u);
        EXPECT_EQ(std::tie(newest[0].user, newest[0].address, newest[0].action, newest[0].detail),
                  std::tie(c.user, "127.0.0.1", c.action, c.detail))
            << c.target;
    }
}

} // namespace
