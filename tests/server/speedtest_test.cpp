// tests/server/speedtest_test.cpp: the speed test's paths against a running lumresults: the page and its files,
// downloads that are exact, random and never compressed, uploads counted by the server, and results stored,
// listed by the API and shown beside a report.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "raw_http.h"
#include "server/store/store.h"
#include "server/dashboard/accounts.h"
#include "server/speedtest/result_token.h"
#include "server_child.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace lum::server_testing;
using namespace std::chrono_literals;
using lum::testing_support::ScratchFolder;
using nlohmann::json;

constexpr std::uint64_t MOST_BYTES = 256ull * 1024 * 1024;
const fs::path ASSETS = LUM_SPEEDTEST_ASSETS;

std::string request(std::string_view method, std::string_view target, std::string_view headers = "",
                    std::string_view body = "") {
    return std::string(method) + " " + std::string(target) + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
           std::string(headers) +
           (body.empty() && method != "POST" ? "" : "Content-Length: " + std::to_string(body.size()) + "\r\n") +
           "\r\n" + std::string(body);
}

std::string file_bytes(const fs::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

// A staff session and an API token, made in the store before the server opens it.
struct Credentials {
    std::string session_cookie;
    std::string token;
};

Credentials prepare_store(const fs::path& data) {
    const auto store = lumresults::open_sqlite_store(data);
    store->add_user({"ann", lumresults::dashboard::hash_password("pass phrase")});
    const auto signed_in =
        lumresults::dashboard::sign_in(*store, "ann", "pass phrase", "127.0.0.1", lumresults::Clock::now());
    const std::string token = lumresults::dashboard::random_token();
    store->add_token("robot", lumresults::dashboard::token_key(token), lumresults::Roles::all());
    return {"Cookie: lumresults_session=" + signed_in.cookie_value + "\r\n", token};
}

class SpeedTestPaths : public ::testing::Test {
protected:
    HttpResponse send(const std::string& text, Milliseconds limit = 20000ms) {
        std::optional<HttpResponse> response = exchange(server_.port(), text, limit);
        EXPECT_TRUE(response) << text.substr(0, 200) << "; log " << server_.log();
        return response.value_or(HttpResponse{});
    }
    // The token a page carries.
    static std::string token_in(const std::string& page) {
        std::smatch found;
        EXPECT_TRUE(std::regex_search(page, found, std::regex("<meta name=\"result-token\" content=\"([^\"]+)\">")));
        return found.empty() ? std::string() : found[1].str();
    }
    // The token the page carries for a caller (the address X-Forwarded-For names, through the trusted proxy).
    std::string page_token(const std::string& caller) {
        return token_in(send(request("GET", "/?lumnettest", "X-Forwarded-For: " + caller + "\r\n")).body);
    }
    // As the page sends it: JSON, from its own site, with the token the page was given for the caller.
    HttpResponse post_result(std::string_view body, std::string_view headers = "",
                             const std::string& caller = "10.20.30.40") {
        const std::string token = page_token(caller);
        return send(request("POST", "/speedtest/result",
                            "Content-Type: application/json\r\nX-Forwarded-For: " + caller +
                                "\r\nX-Result-Token: " + token + "\r\n" + std::string(headers),
                            body));
    }

    ScratchFolder folder_{"lumresults_speedtest_"};
    Credentials credentials_ = prepare_store(folder_.path() / "data");
    // A short connection time-out, so that a download that outlasts it proves the answer has its own time.
    ServerChild server_{folder_.path() / "data",
                        {"--trusted-proxy", "127.0.0.1", "--connection-timeout", "1"},
                        folder_.path() / "serve.log"};
};

TEST_F(SpeedTestPaths, ThePageAndItsFilesComeFromTheProgramWithTheirHeaders) {
    const HttpResponse page = send(request("GET", "/?lumnettest"));
    EXPECT_EQ(page.status, 200);
    // The page as built in, its result token in its place.
    const std::string token = token_in(page.body);
    std::string expected = file_bytes(ASSETS / "index.html");
    ASSERT_NE(expected.find("{{result_token}}"), std::string::npos);
    expected.replace(expected.find("{{result_token}}"), std::string("{{result_token}}").size(), token);
    EXPECT_EQ(page.body, expected);
    EXPECT_EQ(page.header("Content-Security-Policy"),
              "default-src 'none'; script-src 'self'; worker-src 'self'; style-src 'self'; connect-src 'self'; "
              "img-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'");
    EXPECT_EQ(page.header("Cache-Control"), "no-store");
    EXPECT_EQ(page.header("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(page.header("Referrer-Policy"), "same-origin");
    for (const auto& [name, type] :
         std::vector<std::pair<std::string, std::string>>{{"speedtest.js", "text/javascript; charset=utf-8"},
                                                          {"speedtest.css", "text/css; charset=utf-8"},
                                                          {"rates.js", "text/javascript; charset=utf-8"},
                                                          {"worker.js", "text/javascript; charset=utf-8"}}) {
        const HttpResponse file = send(request("GET", "/speedtest/" + name));
        EXPECT_EQ(file.body, file_bytes(ASSETS / name)) << name;
        EXPECT_EQ(file.header("Content-Type"), type) << name;
        EXPECT_EQ(file.header("Cache-Control"), "no-cache") << name;
    }
    const HttpResponse ping = send(request("GET", "/speedtest/ping"));
    EXPECT_EQ(ping.body, "pong\n");
    EXPECT_EQ(ping.header("Cache-Control"), "no-store");
}

// Past the 10 MiB the bytes are drawn from, so that the piece that starts it again is counted too.
TEST_F(SpeedTestPaths, ADownloadIsExactlyTheBytesAskedForRandomAndNeverCompressed) {
    const std::uint64_t size = 10 * 1024 * 1024 + 12345;
    const HttpResponse download = send(
        request("GET", "/speedtest/download?bytes=" + std::to_string(size), "Accept-Encoding: gzip, deflate, br\r\n"));
    EXPECT_EQ(download.status, 200);
    EXPECT_EQ(download.body.size(), size);
    EXPECT_EQ(download.header("Content-Length"), std::to_string(size));
    EXPECT_EQ(download.header("Content-Encoding"), "identity");
    EXPECT_EQ(download.header("Cache-Control"), "no-store");
    EXPECT_EQ(download.header("Content-Type"), "application/octet-stream");
    // No pattern repeats within the first MiB: every one of its 8-byte words is different.
    std::set<std::string_view> words;
    for (std::size_t at = 0; at + 8 <= 1024 * 1024; at += 8)
        words.insert(std::string_view(download.body).substr(at, 8));
    EXPECT_EQ(words.size(), 1024u * 1024 / 8);

    const std::optional<HttpResponse> head =
        exchange(server_.port(), request("HEAD", "/speedtest/download?bytes=5"), 5000ms, true);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->header("Content-Length"), "5");
    for (const std::string bad : {"0", "268435457", "-1", "12abc", "", "99999999999999999999999"})
        EXPECT_EQ(send(request("GET", "/speedtest/download?bytes=" + bad)).status, 400) << bad;
}

// A slow line: the download takes longer than the connection time-out (1 s here), read steadily.
TEST_F(SpeedTestPaths, ADownloadSlowerThanTheConnectionTimeOutIsSentWhole) {
    const int small_buffer = 64 * 1024;
    lum::UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    ASSERT_EQ(setsockopt(socket.get(), SOL_SOCKET, SO_RCVBUF, &small_buffer, sizeof small_buffer), 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(server_.port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string asked = request("GET", "/speedtest/download?bytes=16777216");
    ASSERT_EQ(::send(socket.get(), asked.data(), asked.size(), MSG_NOSIGNAL), static_cast<ssize_t>(asked.size()));
    std::uint64_t received = 0;
    const auto started = std::chrono::steady_clock::now();
    std::vector<char> piece(small_buffer);
    for (ssize_t got = 1; got > 0; received += static_cast<std::uint64_t>(got)) {
        got = std::max<ssize_t>(0, ::recv(socket.get(), piece.data(), piece.size(), 0));
        std::this_thread::sleep_for(10ms); // about 6 MB/s at most
    }
    EXPECT_GT(std::chrono::steady_clock::now() - started, 1500ms) << "not slow enough to prove anything";
    EXPECT_GT(received, 16777216u) << "cut off after " << received << " bytes";
}

TEST_F(SpeedTestPaths, AnUploadIsCountedToTheByteOnTheServersClockAndBoundedInSize) {
    const std::string body(5 * 1024 * 1024 + 3, 'u');
    const HttpResponse upload = send(request("POST", "/speedtest/upload", "", body));
    ASSERT_EQ(upload.status, 200) << upload.body;
    EXPECT_EQ(upload.header("Cache-Control"), "no-store");
    const json counted = json::parse(upload.body);
    EXPECT_EQ(counted.at("bytes"), body.size());
    EXPECT_GT(counted.at("first_bytes").get<std::uint64_t>(), 0u);
    EXPECT_LT(counted.at("first_bytes").get<std::uint64_t>(), body.size()) << "the body came in one piece";
    EXPECT_GE(counted.at("first_ms").get<double>(), 0.0);
    EXPECT_LE(counted.at("first_ms").get<double>(), counted.at("last_ms").get<double>());
    const json later = json::parse(send(request("POST", "/speedtest/upload", "", "x")).body);
    EXPECT_GT(later.at("first_ms").get<double>(), counted.at("last_ms").get<double>()); // one clock for all

    const std::string too_long =
        "POST /speedtest/upload HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(MOST_BYTES + 1) +
        "\r\n\r\n";
    EXPECT_EQ(send(too_long).status, 413);
    // Without a length, refused as it grows past the limit.
    auto connection = RawConnection::open(server_.port());
    ASSERT_TRUE(connection);
    ASSERT_TRUE(connection->send_all(
        "POST /speedtest/upload HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n"));
    const std::string chunk = "100000\r\n" + std::string(1024 * 1024, 'c') + "\r\n";
    for (std::uint64_t sent = 0; sent < MOST_BYTES; sent += 1024 * 1024)
        ASSERT_TRUE(connection->send_all(chunk));
    ASSERT_TRUE(connection->send_all("1\r\nc\r\n0\r\n\r\n"));
    const std::optional<HttpResponse> refused = connection->read_response(20000ms);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 413);
}

TEST_F(SpeedTestPaths, AResultIsStoredWithTheCallersAddressListedByTheApiAndShownBesideItsReport) {
    const std::string browser(600, 'b');
    const HttpResponse stored =
        post_result(R"({"download_mbps": 93.25, "upload_mbps": null, "latency_ms": 12, "jitter_ms": 0.5})",
                    "User-Agent: " + browser + "\r\n");
    ASSERT_EQ(stored.status, 200) << stored.body;
    const json answer = json::parse(stored.body);
    EXPECT_EQ(answer.at("address"), "10.20.30.40");
    EXPECT_TRUE(
        std::regex_match(answer.at("received").get<std::string>(), std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));
    post_result(R"({"download_mbps": 1, "upload_mbps": 1, "latency_ms": 1, "jitter_ms": 1})", "", "10.20.99.1");

    for (const std::string bad :
         {"{bad", "[]", R"({"download_mbps": -1, "upload_mbps": 1, "latency_ms": 1, "jitter_ms": 1})",
          R"({"download_mbps": "9", "upload_mbps": 1, "latency_ms": 1, "jitter_ms": 1})",
          R"({"download_mbps": 100001, "upload_mbps": 1, "latency_ms": 1, "jitter_ms": 1})",
          R"({"upload_mbps": 1, "latency_ms": 1, "jitter_ms": 1})"}) {
        const HttpResponse refused = post_result(bad);
        EXPECT_EQ(refused.status, 400) << bad;
        EXPECT_TRUE(json::parse(refused.body, nullptr, false).contains("error")) << refused.body;
    }
    EXPECT_EQ(post_result(std::string(4097, ' ')).status, 413);
    // Another site's page: its plain text or form is refused, and so is its JSON (the browser names its site).
    const std::string figures = R"({"download_mbps": 1, "upload_mbps": 1, "latency_ms": 1, "jitter_ms": 1})";
    EXPECT_EQ(send(request("POST", "/speedtest/result", "Content-Type: text/plain\r\nOrigin: http://evil.example\r\n",
                           figures))
                  .status,
              415);
    EXPECT_EQ(post_result(figures, "Origin: http://evil.example\r\n").status, 403);
    EXPECT_EQ(post_result(figures, "Origin: null\r\n").status, 403);
    EXPECT_EQ(post_result(figures, "Origin: http://127.0.0.1\r\n", "192.0.2.5").status, 200) << "the page's own site";
    // Only with the token the server put in the page it gave this caller.
    const std::string figures_type = "Content-Type: application/json\r\nX-Forwarded-For: 10.20.30.40\r\n";
    const std::string other_callers = page_token("10.20.99.1");
    std::string altered = page_token("10.20.30.40");
    altered.back() = altered.back() == 'A' ? 'B' : 'A';
    for (const std::string& token : {std::string(), other_callers, altered, std::string("99999999999.") + "A"}) {
        const std::string header = token.empty() ? "" : "X-Result-Token: " + token + "\r\n";
        const HttpResponse refused = send(request("POST", "/speedtest/result", figures_type + header, figures));
        EXPECT_EQ(refused.status, 403) << token;
        EXPECT_NE(refused.body.find("reload the page"), std::string::npos) << refused.body;
    }

    EXPECT_EQ(send(request("GET", "/api/v1/speedtests")).status, 401);
    const std::string bearer = "Authorization: Bearer " + credentials_.token + "\r\n";
    const json listed = json::parse(send(request("GET", "/api/v1/speedtests?ip=10.20.30.40", bearer)).body);
    ASSERT_EQ(listed.at("speedtests").size(), 1u) << listed;
    const json& test = listed["speedtests"][0];
    EXPECT_EQ(test.at("id"), answer.at("id"));
    EXPECT_EQ(test.at("received"), answer.at("received"));
    EXPECT_EQ(test.at("caller"), "10.20.30.40");
    EXPECT_EQ(test.at("user_agent"), browser.substr(0, 512));
    EXPECT_EQ(test.at("download_mbps"), 93.25);
    EXPECT_TRUE(test.at("upload_mbps").is_null());
    EXPECT_EQ(test.at("latency_ms"), 12.0);
    EXPECT_EQ(test.at("jitter_ms"), 0.5);
    const json prefix = json::parse(send(request("GET", "/api/v1/speedtests?ip=10.20.&match=prefix", bearer)).body);
    EXPECT_EQ(prefix.at("speedtests").size(), 2u);
    EXPECT_EQ(send(request("GET", "/api/v1/speedtests?limit=0", bearer)).status, 400);

    std::string report = upload_request(program_upload_body("Lumora Network Test v1.4\r\n"));
    report.insert(report.find("Accept:"), "X-Forwarded-For: 10.20.30.40\r\n");
    const std::optional<long long> id = acknowledged_id(send(report));
    ASSERT_TRUE(id);
    const HttpResponse page =
        send(request("GET", "/support/reports/" + std::to_string(*id), credentials_.session_cookie));
    ASSERT_EQ(page.status, 200);
    const std::size_t section = page.body.find("<section aria-labelledby=\"speed-tests-head\" id=\"speed-tests\">");
    ASSERT_NE(section, std::string::npos);
    const std::string shown = page.body.substr(section, page.body.find("</section>", section) - section);
    EXPECT_NE(shown.find("<td>93.2 Mbit/s</td><td>none</td><td>12.0 ms</td><td>0.5 ms</td><td>" +
                         browser.substr(0, 512) + "</td>"),
              std::string::npos)
        << shown;
    EXPECT_EQ(shown.find("1.0 Mbit/s"), std::string::npos) << "another address's test shown";
}

// A page's token keeps one result: posted again, to this instance or to another on the same store, it is
// refused (409) and nothing more is kept. The first result's answer gives the page its next run's token.
TEST_F(SpeedTestPaths, APagesTokenKeepsOneResultWhicheverInstanceItIsPostedTo) {
    const ServerChild other{folder_.path() / "data", {"--trusted-proxy", "127.0.0.1"}, folder_.path() / "other.log"};
    const std::string caller = "10.20.30.41";
    const auto post = [&](int port, const std::string& token) {
        return exchange(port,
                        request("POST", "/speedtest/result",
                                "Content-Type: application/json\r\nX-Forwarded-For: " + caller +
                                    "\r\nX-Result-Token: " + token + "\r\n",
                                R"({"download_mbps": 1, "upload_mbps": 2, "latency_ms": 3, "jitter_ms": 4})"),
                        20000ms)
            .value_or(HttpResponse{});
    };
    const std::string token = page_token(caller);
    const HttpResponse first = post(server_.port(), token);
    ASSERT_EQ(first.status, 200) << first.body;
    for (const int port : {server_.port(), other.port()}) {
        const HttpResponse again = post(port, token);
        EXPECT_EQ(again.status, 409) << again.body;
        EXPECT_NE(again.body.find("already kept"), std::string::npos) << again.body;
    }
    const std::string next = json::parse(first.body).value("token", "");
    EXPECT_NE(next, token);
    EXPECT_EQ(post(other.port(), next).status, 200) << "the page's next run";
    const json listed = json::parse(
        send(request("GET", "/api/v1/speedtests?ip=" + caller, "Authorization: Bearer " + credentials_.token + "\r\n"))
            .body);
    EXPECT_EQ(listed.at("speedtests").size(), 2u) << listed;
}

// A token is good for its own address until it expires, under the key that made it, and nothing else is.
TEST(ResultTokensTest, ATokenIsGoodOnlyForItsAddressUnderItsKeyUntilItExpires) {
    using lumresults::speedtest::ResultTokens;
    using lumresults::speedtest::TokenCheck;
    const lumresults::Clock::time_point t0 = std::chrono::sys_days{std::chrono::year{2026} / 5 / 6};
    const ResultTokens tokens(std::string(32, 'k'));
    const std::string token = tokens.issue("192.0.2.1", t0);
    std::string other_expiry = token;
    other_expiry[0] = other_expiry[0] == '1' ? '2' : '1';
    const struct {
        const char* name;
        std::string token, address;
        lumresults::Clock::time_point at;
        TokenCheck expected;
    } cases[] = {
        {"as given", token, "192.0.2.1", t0 + 29min, TokenCheck::good},
        {"after its lifetime", token, "192.0.2.1", t0 + 30min, TokenCheck::expired},
        {"another address", token, "192.0.2.10", t0, TokenCheck::wrong},
        {"another key's", ResultTokens(std::string(32, 'j')).issue("192.0.2.1", t0), "192.0.2.1", t0,
         TokenCheck::wrong},
        {"its expiry changed", other_expiry, "192.0.2.1", t0, TokenCheck::wrong},
        {"no MAC", token.substr(0, token.find('.') + 1), "192.0.2.1", t0, TokenCheck::wrong},
        {"no expiry", token.substr(token.find('.')), "192.0.2.1", t0, TokenCheck::wrong},
        {"a sign", "-" + token, "192.0.2.1", t0, TokenCheck::wrong},
        {"empty", "", "192.0.2.1", t0, TokenCheck::wrong},
        {"a long expiry", std::string(100, '9') + token.substr(token.find('.')), "192.0.2.1", t0, TokenCheck::wrong},
        {"cut short", token.substr(0, token.size() - 1), "192.0.2.1", t0, TokenCheck::wrong},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tokens.check(c.token, c.address, c.at).verdict, c.expected) << c.name;
    EXPECT_THROW(ResultTokens(std::string(31, 'k')), std::invalid_argument);

    // Two pages for one address in the same second have tokens the store tells apart; each is spent until
    // its own expiry.
    const std::string twin = tokens.issue("192.0.2.1", t0);
    EXPECT_NE(twin, token);
    const lumresults::SpeedTestToken spent = tokens.check(token, "192.0.2.1", t0).spent;
    EXPECT_EQ(spent.expires, t0 + ResultTokens::LIFETIME);
    EXPECT_FALSE(spent.mac.empty());
    EXPECT_EQ(tokens.check(token, "192.0.2.1", t0 + 1min).spent.mac, spent.mac);
    EXPECT_NE(tokens.check(twin, "192.0.2.1", t0).spent.mac, spent.mac);
}

} // namespace
