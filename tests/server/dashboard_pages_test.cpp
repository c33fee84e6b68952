// tests/server/dashboard_pages_test.cpp: the support dashboard and the reports API against a running lumresults:
// reports uploaded as the program sends them, a staff member signed in through the form, the report page's
// rows as the window showed them, hostile bytes shown as text, the exact bytes downloaded, and the API.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <regex>

#include "raw_http.h"
#include "scenario_files.h"
#include "server/store/store.h"
#include "server/dashboard/accounts.h"
#include "server_child.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace lum::server_testing;
using lum::testing_support::ScratchFolder;

const fs::path SCENARIOS = LUM_LAB_SCENARIOS;
const std::string PASSWORD = "correct horse battery";

// A report whose lines carry markup, quotes and bytes that are not UTF-8.
const std::string HOSTILE =
    "Lumora Network Test v1.4\r\n\r\n<script>alert(\"x\")</script>\r\n\r\n=== TEST START === 2026-03-09 08:05:07\r\n"
    "\r\nTest 1: Network Config\r\n   \"quoted\" & <b>bold</b> \x8F\xE0\xAE\x01\r\n";

struct Scenario {
    std::string report;
    std::string public_ip;
    std::vector<lum::lab::ExpectedRow> rows;
};

Scenario scenario(const std::string& name, const fs::path& scratch) {
    lum::lab::merge_scenario(SCENARIOS / "base", SCENARIOS / name, scratch / name);
    Scenario read{{},
                  lum::lab::read_settings(SCENARIOS / name / "scenario.txt").public_ip,
                  lum::lab::read_rows(SCENARIOS / name / "rows.txt")};
    for (const std::string& line : lum::lab::expected_report(SCENARIOS / name / "report.txt", scratch / name))
        read.report += line + "\r\n";
    return read;
}

// A staff member and an API token, put in the store before the server opens it.
std::string prepare_store(const fs::path& data) {
    const auto store = lumresults::open_sqlite_store(data);
    store->add_user({"ann", lumresults::dashboard::hash_password(PASSWORD)});
    const std::string token = lumresults::dashboard::random_token();
    store->add_token("robot", lumresults::dashboard::token_key(token), lumresults::Roles::all());
    return token;
}

// `unit` repeated to `size` bytes (the last one cut short).
std::string filled(std::string_view unit, std::size_t size) {
    std::string bytes;
    while (bytes.size() < size)
        bytes += unit;
    bytes.resize(size);
    return bytes;
}

std::string escaped(std::string text) {
    std::string out;
    for (const char c : text)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : std::string(1, c);
    return out;
}

class SupportPagesTest : public ::testing::Test {
protected:
    // Reports of megabytes take their time under the sanitizers.
    HttpResponse send(const std::string& request, Milliseconds limit = std::chrono::seconds(60)) {
        std::optional<HttpResponse> response = exchange(server_.port(), request, limit);
        EXPECT_TRUE(response) << request.substr(0, 200);
        return response.value_or(HttpResponse{});
    }
    HttpResponse get(std::string_view target, std::string_view headers = "") {
        return send("GET " + std::string(target) + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
                    std::string(headers) + "\r\n");
    }
    HttpResponse post_form(std::string_view target, std::string_view body, std::string_view headers) {
        return send("POST " + std::string(target) +
                    " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                    "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\n" + std::string(headers) + "\r\n" + std::string(body));
    }
    long long upload(const std::string& report, const std::string& caller) {
        std::string request = upload_request(program_upload_body(report));
        request.insert(request.find("Accept:"), "X-Forwarded-For: " + caller + "\r\n");
        const std::optional<long long> id = acknowledged_id(send(request));
        EXPECT_TRUE(id);
        return id.value_or(0);
    }
    // Signs in through the form as a browser would; the session's Cookie header.
    std::string sign_in() {
        const HttpResponse form = get("/support/sign-in?next=/support/");
        std::smatch csrf;
        EXPECT_TRUE(std::regex_search(form.body, csrf, std::regex("name=\"csrf\" value=\"([0-9a-f]{64})\"")));
        const std::string cookie = "Cookie: lumresults_signin=" + csrf[1].str() + "\r\n";
        const HttpResponse wrong =
            post_form("/support/sign-in", "csrf=" + csrf[1].str() + "&user=ann&password=x", cookie);
        EXPECT_EQ(wrong.status, 401);
        EXPECT_NE(wrong.body.find("<p class=\"error\" id=\"sign-in-error\">Wrong user name or password.</p>"),
                  std::string::npos);
        const HttpResponse forged = post_form(
            "/support/sign-in", "csrf=" + std::string(64, 'a') + "&user=ann&password=correct+horse+battery", cookie);
        EXPECT_EQ(forged.status, 403);
        const HttpResponse signed_in =
            post_form("/support/sign-in",
                      "csrf=" + csrf[1].str() + "&user=ann&password=correct+horse+battery&next=/support/", cookie);
        EXPECT_EQ(signed_in.status, 303);
        for (const auto& [name, value] : signed_in.headers)
            if (value.starts_with("lumresults_session=")) return "Cookie: " + value.substr(0, value.find(';')) + "\r\n";
        ADD_FAILURE() << "no session cookie";
        return {};
    }

    ScratchFolder folder_{"lumresults_support_"};
    std::string token_ = prepare_store(folder_.path() / "data");
    // Tokyo keeps no summer time: its pages read nine hours ahead of UTC all year.
    ServerChild server_{folder_.path() / "data",
                        {"--trusted-proxy", "127.0.0.1", "--time-zone", "Asia/Tokyo"},
                        folder_.path() / "serve.log"};
};

TEST_F(SupportPagesTest, AReportShowsTheWindowsRowsItsLinesAsTextAndDownloadsExactly) {
    const Scenario cyrillic = scenario("code-page-866", folder_.path());
    const long long id = upload(cyrillic.report, cyrillic.public_ip);
    const long long hostile = upload(HOSTILE, cyrillic.public_ip);
    const long long next_day = upload(cyrillic.report, "100.102.77.1"); // the same computer, a new address
    EXPECT_EQ(get("/support/reports/" + std::to_string(id)).status, 303); // no session: sent to sign in
    const std::string session = sign_in();

    const HttpResponse page = get("/support/reports/" + std::to_string(id), session);
    ASSERT_EQ(page.status, 200);
    EXPECT_EQ(page.header("Content-Security-Policy").value_or("").find("default-src 'none'"), 0u);
    EXPECT_EQ(page.header("Cache-Control"), "no-store");
    const std::regex row("<div class=\"row ([^\"]+)\" data-test=\"([1-7])\">([^<]*)");
    std::vector<std::string> shown;
    for (auto it = std::sregex_iterator(page.body.begin(), page.body.end(), row); it != std::sregex_iterator(); ++it)
        shown.push_back((*it)[2].str() + " " + (*it)[1].str() + " " + (*it)[3].str());
    std::vector<std::string> expected;
    for (const auto& r : cyrillic.rows) {
        const char* rgb = r.color == 0x008000 ? "rgb-008000" : r.color == 0x000080 ? "rgb-800000" : "rgb-000080";
        expected.push_back(std::to_string(r.row) + " " +
                           (r.present ? rgb + (" " + escaped(r.text))
                                      : "no-row Test " + std::to_string(r.row) + ": skipped, no row shown"));
    }
    EXPECT_EQ(shown, expected);
    // The tools' code page 866 bytes in the subscriber's letters, the code page named beside them.
    EXPECT_NE(page.body.find("Ответ от 8.8.8.8"), std::string::npos);
    EXPECT_NE(page.body.find("decoded as CP866 (Russian), from the tools&#39; phrases"), std::string::npos);

    // One section shown as its bytes at the staff member's asking, then as found again.
    std::smatch ping;
    ASSERT_TRUE(std::regex_search(page.body, ping,
                                  std::regex("name=\"section\" value=\"([0-9]+)\">\\s*<span class=\"tool\">ping</span>")));
    const std::string report_path = "/support/reports/" + std::to_string(id);
    const HttpResponse as_bytes = get(report_path + "?section=" + ping[1].str() + "&as=raw", session);
    EXPECT_NE(as_bytes.body.find("shown as bytes, as you chose"), std::string::npos);
    EXPECT_EQ(as_bytes.body.find("Ответ от 8.8.8.8"), std::string::npos);
    EXPECT_NE(as_bytes.body.find("<span class=\"byte\">\\x8E\\xE2\\xA2\\xA5\\xE2</span> "
                                 "<span class=\"byte\">\\xAE\\xE2</span> 8.8.8.8"),
              std::string::npos);
    const HttpResponse as_found = get(report_path + "?section=" + ping[1].str() + "&as=", session);
    EXPECT_NE(as_found.body.find("Ответ от 8.8.8.8"), std::string::npos);

    // The computer, named in its own words and linked by its MAC to its report from another address; the
    // search by that MAC finds both, and only those.
    EXPECT_NE(page.body.find("<dd id=\"host-name\">ANNA-PC</dd>"), std::string::npos);
    const std::size_t section_start = page.body.find("id=\"same-computer\"");
    const std::string same_computer =
        page.body.substr(section_start, page.body.find("</section>", section_start) - section_start);
    EXPECT_NE(same_computer.find("data-id=\"" + std::to_string(next_day) + "\""), std::string::npos);
    EXPECT_EQ(same_computer.find("data-id=\"" + std::to_string(hostile) + "\""), std::string::npos);
    EXPECT_NE(same_computer.find("href=\"/support/?computer=74-D4-35-1A-2B-3C\""), std::string::npos);
    const HttpResponse by_mac = get("/support/?computer=74:d4:35:1a:2b:3c", session);
    std::vector<std::string> found;
    const std::regex found_row("<tr class=\"report\" data-id=\"([0-9]+)\"");
    for (auto it = std::sregex_iterator(by_mac.body.begin(), by_mac.body.end(), found_row); it != std::sregex_iterator();
         ++it)
        found.push_back((*it)[1].str());
    EXPECT_EQ(found, (std::vector{std::to_string(next_day), std::to_string(id)}));

    const HttpResponse attack = get("/support/reports/" + std::to_string(hostile), session);
    EXPECT_EQ(attack.body.find("<script>alert"), std::string::npos);
    EXPECT_EQ(attack.body.find("<b>bold"), std::string::npos);
    EXPECT_NE(attack.body.find("<dd id=\"release\">&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;</dd>"),
              std::string::npos);
    // Whatever code page the bytes after it are shown in, the markup stays text and the control byte a byte.
    EXPECT_NE(attack.body.find("   &quot;quoted&quot; &amp; &lt;b&gt;bold&lt;/b&gt; "), std::string::npos);
    EXPECT_NE(attack.body.find("\\x01</span>"), std::string::npos);

    const HttpResponse download = get("/support/reports/" + std::to_string(hostile) + "/download", session);
    EXPECT_EQ(download.body, HOSTILE);
    EXPECT_EQ(download.header("Content-Type"), "application/octet-stream");
    EXPECT_EQ(download.header("Content-Disposition"),
              "attachment; filename=\"lumtest-" + std::to_string(hostile) + ".log\"");
    const CommandResult audit = run_lumresults({"audit", "--data", (folder_.path() / "data").string()});
    EXPECT_NE(audit.output.find("report viewed"), std::string::npos) << audit.output;
    EXPECT_NE(audit.output.find("report downloaded"), std::string::npos) << audit.output;
}

// Whatever a report holds, its page costs at most twice its size: each test's lines, and the whole report's,
// are shown to a cap, and the rest is a link away.
TEST_F(SupportPagesTest, AnyReportsPageCostsAtMostTwiceTheReport) {
    const std::size_t size = 4 << 20;
    const std::pair<std::string, std::string> reports[] = {
        {"control bytes", filled("A\x01", size)},
        {"line feeds", filled("\n", size)},
        {"undecodable bytes", filled("\xFF\xC0\x81", size)},
        {"one long line of markup", filled("\"<", size)},
        {"the program's report repeated", filled(scenario("code-page-866", folder_.path()).report, size)},
    };
    const std::string session = sign_in();
    for (const auto& [kind, report] : reports) {
        const std::string path = "/support/reports/" + std::to_string(upload(report, "10.9.8.7"));
        const HttpResponse page = get(path, session);
        EXPECT_EQ(page.status, 200) << kind;
        EXPECT_LE(page.body.size(), 2 * size + 8192) << kind;
        EXPECT_NE(page.body.find("</html>", page.body.size() - 16), std::string::npos) << kind;
        EXPECT_NE(page.body.find("<p class=\"rest-of-lines\" id=\"rest-all\">"), std::string::npos) << kind;
    }
}

// A test too long for the report's page is shown whole on a page of its own, made as it is sent: every line
// once and in order.
TEST_F(SupportPagesTest, ALongTestIsShownWholeOnAPageOfItsOwn) {
    std::string report = HOSTILE;
    for (int line = 0; line < 20000; ++line)
        report += "hosts " + std::to_string(100000 + line) + (line % 7 == 0 ? " <b>\r\n" : " caf\xC3\xA9\r\n");
    const std::string path = "/support/reports/" + std::to_string(upload(report, "10.9.8.7"));
    const std::string session = sign_in();

    const HttpResponse page = get(path, session);
    EXPECT_EQ(page.body.find("hosts 119999"), std::string::npos);
    const std::size_t link = page.body.find("<a href=\"?whole=1#section-1\">Show all of it</a>");
    ASSERT_NE(link, std::string::npos);
    EXPECT_GT(link, page.body.find("<p class=\"rest-of-lines\" id=\"rest-1\">"));

    const HttpResponse whole = get(path + "?whole=1", session);
    ASSERT_EQ(whole.status, 200);
    EXPECT_EQ(whole.header("Content-Length"), std::to_string(whole.body.size()));
    EXPECT_NE(whole.body.find("</html>", whole.body.size() - 16), std::string::npos);
    EXPECT_EQ(whole.body.find("id=\"rest-1\""), std::string::npos);
    const std::size_t lines = whole.body.find("<pre class=\"raw\" id=\"raw-1\">");
    const std::string shown = whole.body.substr(lines, whole.body.find("</pre>", lines) - lines);
    std::size_t at = 0;
    for (int line = 0; line < 20000 && at != std::string::npos; ++line)
        at = shown.find("hosts " + std::to_string(100000 + line) + (line % 7 == 0 ? " &lt;b&gt;\n" : " caf"), at);
    EXPECT_NE(at, std::string::npos);
}

TEST_F(SupportPagesTest, SearchPageAndApiListTheNewestFirstWithTheirVerdicts) {
    const Scenario passed = scenario("all-pass", folder_.path());
    const long long older = upload(HOSTILE, "10.20.30.40");
    const long long newer = upload(passed.report, "10.20.30.40");
    upload(passed.report, "10.20.31.1");
    const std::string session = sign_in();

    const HttpResponse search = get("/support/?ip=10.20.30.40", session);
    ASSERT_EQ(search.status, 200);
    // Staff read the operator's clock, named; the API stays in UTC.
    EXPECT_NE(search.body.find("Received (Asia/Tokyo)"), std::string::npos);
    std::smatch shown;
    ASSERT_TRUE(std::regex_search(search.body, shown, std::regex("(\\d{4}-\\d\\d-\\d\\d \\d\\d):\\d\\d:\\d\\d JST")));
    const std::size_t first = search.body.find("data-id=\"" + std::to_string(newer) + "\"");
    EXPECT_LT(first, search.body.find("data-id=\"" + std::to_string(older) + "\""));
    EXPECT_EQ(search.body.find("10.20.31.1"), std::string::npos);
    EXPECT_EQ(get("/support/?ip=10.20.30", session).status, 400);
    // The form's times are the operator's too: the newest report's minute on the Tokyo clock finds it there,
    // while the API reads the same words as UTC, nine hours later, and finds nothing.
    std::smatch minute;
    ASSERT_TRUE(
        std::regex_search(search.body, minute, std::regex("(\\d{4}-\\d\\d-\\d\\d) (\\d\\d:\\d\\d):\\d\\d JST")));
    const std::string tokyo = minute[1].str() + "T" + minute[2].str();
    const HttpResponse that_minute = get("/support/?ip=10.20.30.40&from=" + tokyo + "&to=" + tokyo, session);
    EXPECT_NE(that_minute.body.find("data-id=\"" + std::to_string(newer) + "\""), std::string::npos);
    EXPECT_NE(that_minute.body.find("From (Asia/Tokyo)"), std::string::npos);

    const HttpResponse unauthorised = get("/api/v1/reports");
    EXPECT_EQ(unauthorised.status, 401);
    const std::string bearer = "Authorization: Bearer " + token_ + "\r\n";
    const HttpResponse listing = get("/api/v1/reports?ip=10.20.&match=prefix&limit=2", bearer);
    ASSERT_EQ(listing.status, 200);
    const nlohmann::json json = nlohmann::json::parse(listing.body);
    ASSERT_EQ(json["reports"].size(), 2u);
    const std::string utc = json["reports"][0]["received"];
    ASSERT_TRUE(utc.ends_with("Z")) << utc;
    EXPECT_EQ(json["reports"][1]["id"], newer);
    EXPECT_EQ(json["reports"][1]["verdicts"], nlohmann::json(std::vector<std::string>(7, "OK")));
    ASSERT_TRUE(json["next"].is_string());
    const HttpResponse rest =
        get("/api/v1/reports?ip=10.20.&match=prefix&after=" + json["next"].get<std::string>(), bearer);
    EXPECT_EQ(nlohmann::json::parse(rest.body)["reports"][0]["id"], older);
    EXPECT_EQ(get("/api/v1/reports?from=yesterday", bearer).status, 400);
    EXPECT_EQ(nlohmann::json::parse(get("/api/v1/reports?ip=10.20.30.40&from=" + tokyo, bearer).body)["reports"],
              nlohmann::json::array());

    const HttpResponse csv = get("/api/v1/reports?ip=10.20.30.40&format=csv", bearer);
    EXPECT_EQ(csv.body.substr(csv.body.find("\r\n") + 2, std::to_string(newer).size() + 1),
              std::to_string(newer) + ",");
    EXPECT_NE(csv.body.find(",\"<script>alert(\"\"x\"\")</script>\","), std::string::npos) << csv.body;
    const HttpResponse content = get("/api/v1/reports/" + std::to_string(older) + "/content", bearer);
    EXPECT_EQ(content.body, HOSTILE);

    // The overview counts the three uploads: as JSON to a token (UTC hours), and as a page to staff.
    EXPECT_EQ(get("/api/v1/overview").status, 401);
    const nlohmann::json overview = nlohmann::json::parse(get("/api/v1/overview?window=24h", bearer).body);
    ASSERT_EQ(overview["buckets"].size(), 24u);
    std::int64_t counted = 0;
    for (const auto& bucket : overview["buckets"])
        counted += bucket["reports"]["finished"].get<std::int64_t>() + bucket["reports"]["cut_short"].get<std::int64_t>();
    EXPECT_EQ(counted, 3);
    EXPECT_EQ(get("/api/v1/overview?bucket=minute", bearer).status, 400);
    EXPECT_EQ(get("/api/v1/overview?block=100.102.0.0/12", bearer).status, 400);
    const HttpResponse page = get("/support/overview?window=7d", session);
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("<svg class=\"chart\""), std::string::npos);
    EXPECT_NE(page.body.find("Day (Asia/Tokyo)"), std::string::npos);
}

} // namespace
