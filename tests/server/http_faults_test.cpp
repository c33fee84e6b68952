// tests/server/http_faults_test.cpp: requests that wait on a worker while the server reloads, times out or floods:
// none aborts the server, loses its answer, or takes more than its share.
#include <gtest/gtest.h>

#include <signal.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "server/http/address_limit.h"

#include "raw_http.h"
#include "server_child.h"
#include "staff_client.h"
#include "test_support.h"

namespace {

using namespace lum::server_testing;
using namespace std::chrono_literals;
using lum::testing_support::file_contents;
using lum::testing_support::ScratchFolder;
using lum::testing_support::wait_until;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string PROGRAM_HEAD = "HEAD /ip/ HTTP/1.1\r\nAccept: */*\r\nHost: 127.0.0.1\r\n\r\n";

const fs::path& prepared(const fs::path& data) {
    fs::create_directories(data);
    return data;
}

// Another process's write transaction on the store's database: every writer of the server waits for it
// (SQLite's busy wait) while readers go on.
class StoreLock {
public:
    explicit StoreLock(const fs::path& data) {
        sqlite3* raw = nullptr;
        if (sqlite3_open((data / "lumresults.sqlite3").c_str(), &raw) != SQLITE_OK) {
            ADD_FAILURE() << "cannot open the store";
        }
        db_.reset(raw);
        // The server may be writing at that moment (a sign-in noted, the sweep): wait for it as it would.
        sqlite3_busy_timeout(raw, 10000);
        EXPECT_EQ(sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    void release() {
        if (db_) {
            EXPECT_EQ(sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        db_.reset();
    }
    ~StoreLock() { release(); }

private:
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db_{nullptr, &sqlite3_close};
};

// The output of a shell command (curl, openssl), bounded in time by its own options.
std::string output_of(const std::string& command) {
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
    if (!pipe) return {};
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr)
        text += buffer;
    return text;
}

// A self-signed certificate for 127.0.0.1 and its key, as PEM files NAME.pem and NAME.key.
void make_certificate(const fs::path& folder, const std::string& name) {
    const std::string base = (folder / name).string();
    const std::string files = " -keyout " + base + ".key -out " + base + ".pem";
    output_of("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj /CN=127.0.0.1" +
              files + " 2>/dev/null");
    ASSERT_TRUE(fs::exists(base + ".pem") && fs::exists(base + ".key")) << "openssl made no certificate";
}

// The port of the HTTPS listener, from the server's log.
int tls_port_of(const ServerChild& server) {
    std::smatch found;
    const std::string log = file_contents(server.log());
    return std::regex_search(log, found, std::regex("HTTPS on 127\\.0\\.0\\.1:([0-9]+)")) ? std::stoi(found[1]) : 0;
}

// A sign-in POST over HTTPS with a form token the server accepts (the cookie and the field agree), so that it
// goes on to the store: its status, or 0 when no answer came.
std::future<int> sign_in_over_tls(int port, const std::string& user) {
    return std::async(std::launch::async, [port, user] {
        const std::string form = "user=" + user + "&password=wrong&csrf=t0ken&next=%2Fsupport%2F";
        const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/support/sign-in";
        const std::string curl = "curl -sk --max-time 60 -o /dev/null -w '%{http_code}' "
                                 "-H 'Cookie: lumresults_signin=t0ken' --data ";
        const std::string status = output_of(curl + "'" + form + "' " + url);
        return status.empty() ? 0 : std::stoi(status);
    });
}

bool answers_ip(int port) {
    const auto answer = exchange(port, PROGRAM_HEAD, 5s, true, "127.0.0.2");
    return answer && answer->status == 200;
}

// A kept-alive HTTPS connection (openssl s_client): requests written to it, its answers gathered in a file.
class TlsConnection {
public:
    TlsConnection(int port, fs::path answers)
        : answers_(std::move(answers)),
          client_(popen(("openssl s_client -quiet -connect 127.0.0.1:" + std::to_string(port) + " >" +
                         answers_.string() + " 2>/dev/null")
                            .c_str(),
                        "w"),
                  &pclose) {}
    bool send(const std::string& request) {
        return client_ && std::fputs(request.c_str(), client_.get()) >= 0 && std::fflush(client_.get()) == 0;
    }
    std::string answers() const { return file_contents(answers_); }

private:
    fs::path answers_;
    std::unique_ptr<FILE, decltype(&pclose)> client_;
};

// A certificate renewed (SIGHUP) while sign-ins over HTTPS wait for the only worker, the store held by another
// process past the old daemon's linger (ten times the connection timeout): one sent before the reload, one
// sent after it on a connection kept alive from before. The old daemon is kept while the worker holds its
// requests, the server never aborts, and the request sent after the reload is answered.
TEST(HttpFaultsTest, AReloadWhileSignInsWaitForAWorkerNeitherAbortsNorDropsThem) {
    signal(SIGPIPE, SIG_IGN); // should the client end early
    const ScratchFolder folder("lumresults_http_faults_");
    make_certificate(folder.path(), "first");
    make_certificate(folder.path(), "renewed");
    fs::copy_file(folder.path() / "first.pem", folder.path() / "live.pem");
    fs::copy_file(folder.path() / "first.key", folder.path() / "live.key");
    const fs::path data = prepared(folder.path() / "data");
    ServerChild server(data,
                       {"--workers", "1", "--connection-timeout", "1", "--tls-listen", "127.0.0.1:0", "--tls-cert",
                        (folder.path() / "live.pem").string(), "--tls-key", (folder.path() / "live.key").string()},
                       folder.path() / "serve.log");
    ASSERT_TRUE(wait_until([&] { return tls_port_of(server) != 0; }, 10s)) << "no HTTPS line; log " << server.log();
    const int tls_port = tls_port_of(server);
    StoreLock lock(data);
    std::future<int> before = sign_in_over_tls(tls_port, "ann");
    TlsConnection kept(tls_port, folder.path() / "kept-alive.txt");
    const std::string ping = "GET /ip/ HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    for (int n = 0; n < 3; ++n, std::this_thread::sleep_for(300ms))
        ASSERT_TRUE(kept.send(ping));
    fs::copy_file(folder.path() / "renewed.pem", folder.path() / "live.pem", fs::copy_options::overwrite_existing);
    fs::copy_file(folder.path() / "renewed.key", folder.path() / "live.key", fs::copy_options::overwrite_existing);
    const auto reloaded = Clock::now();
    ASSERT_EQ(kill(server.pid(), SIGHUP), 0);
    // Kept alive (its time-out is a second) until well after the reload, then the sign-in on it.
    for (; Clock::now() < reloaded + 2s; std::this_thread::sleep_for(300ms))
        ASSERT_TRUE(kept.send(ping));
    ASSERT_NE(file_contents(server.log()).find("changed the certificate"), std::string::npos) << server.log();
    const std::string form = "user=bob&password=wrong&csrf=t0ken&next=%2Fsupport%2F";
    ASSERT_TRUE(kept.send("POST /support/sign-in HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: lumresults_signin=t0ken\r\n"
                          "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                          std::to_string(form.size()) + "\r\n\r\n" + form));
    // The linger is 10 s from the reload and its stopper looks every half second; the sign-in's own time (from
    // its hand-over to a worker, 2 s after the reload) runs 2 s longer.
    std::this_thread::sleep_until(reloaded + 10800ms);
    EXPECT_TRUE(answers_ip(server.port())) << "the server died with connections suspended; log " << server.log();
    lock.release();
    EXPECT_TRUE(wait_until([&] { return kept.answers().find("HTTP/1.1 401") != std::string::npos; }, 10s))
        << "no answer to the sign-in sent after the reload: " << kept.answers() << "; log " << server.log();
    before.get(); // answered, or cut off once it had waited for the worker past its own time
    const std::string served = output_of("openssl s_client -connect 127.0.0.1:" + std::to_string(tls_port) +
                                         " </dev/null 2>/dev/null | openssl x509 -noout -fingerprint");
    EXPECT_EQ(served, output_of("openssl x509 -noout -fingerprint -in " + (folder.path() / "renewed.pem").string()));
    EXPECT_EQ(server.stop(), 0) << "log " << server.log();
}

// An API request on a kept-alive connection waits for the only worker (busy with an upload that waits for
// the store) for longer than the connection timeout: the answer still reaches the client.
TEST(HttpFaultsTest, AnAnswerThatWaitedForAWorkerIsNotCutOff) {
    const ScratchFolder folder("lumresults_http_faults_");
    const fs::path data = prepared(folder.path() / "data");
    const CommandResult token = run_lumresults({"token", "add", "robot", "--data", data.string()});
    ASSERT_EQ(token.exit_code, 0);
    const std::string bearer = token.output.substr(0, token.output.find('\n'));
    const ServerChild server(data, {"--workers", "1", "--connection-timeout", "2"}, folder.path() / "serve.log");
    StoreLock lock(data);
    auto upload = std::async(std::launch::async, [&] {
        return exchange(server.port(), upload_request(program_upload_body("waits for the store\r\n")), 20s);
    });
    std::this_thread::sleep_for(300ms); // the upload holds the worker by now
    auto connection = RawConnection::open(server.port());
    ASSERT_TRUE(connection);
    ASSERT_TRUE(connection->send_all("GET /ip/ HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    const auto first = connection->read_response(5s);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 200);
    ASSERT_TRUE(connection->send_all("GET /api/v1/reports HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " +
                                     bearer + "\r\n\r\n"));
    std::this_thread::sleep_for(3s); // past the connection timeout, the request waiting behind the upload
    lock.release();
    const auto answer = connection->read_response(20s);
    ASSERT_TRUE(answer) << "the connection was cut before its answer; log " << server.log();
    EXPECT_EQ(answer->status, 200);
    EXPECT_TRUE(answer->body.starts_with("{")) << answer->body.substr(0, 200);
    const auto stored = upload.get();
    ASSERT_TRUE(stored);
    EXPECT_TRUE(acknowledged_id(*stored));
}

// SIGTERM while an upload and a sign-in wait for the store: both are answered before the server exits 0.
TEST(HttpFaultsTest, StoppingAnswersTheRequestsWorkersHold) {
    const ScratchFolder folder("lumresults_http_faults_");
    const fs::path data = prepared(folder.path() / "data");
    ServerChild server(data, {}, folder.path() / "serve.log");
    StoreLock lock(data);
    auto upload = std::async(std::launch::async, [&] {
        return exchange(server.port(), upload_request(program_upload_body("kept through a stop\r\n")), 20s);
    });
    auto sign_in = std::async(std::launch::async, [&] { return post_sign_in(server.port(), "ann", "wrong"); });
    std::this_thread::sleep_for(500ms); // both wait for the store by now
    ASSERT_EQ(kill(server.pid(), SIGTERM), 0);
    std::this_thread::sleep_for(500ms);
    lock.release();
    const auto stored = upload.get();
    ASSERT_TRUE(stored) << "log " << server.log();
    EXPECT_TRUE(acknowledged_id(*stored));
    EXPECT_EQ(sign_in.get().status, 401) << "log " << server.log();
    EXPECT_EQ(server.stop(), 0) << "log " << server.log();
}

// The library's threads each accept a connection and ask whether its caller may connect before any of them
// has started one: the caller (an IPv6 /64) is still let in no more than its limit.
TEST(HttpFaultsTest, AcceptsOnManyThreadsAtOnceLetInNoMoreThanTheLimit) {
    constexpr unsigned PER_ADDRESS = 3;
    constexpr unsigned THREADS = 8;
    lumresults::AddressLimit limit(PER_ADDRESS, {});
    std::atomic<unsigned> ready{0}, admitted{0};
    std::vector<std::thread> accepts;
    for (unsigned n = 0; n < THREADS; ++n)
        accepts.emplace_back([&, n] {
            const auto peer = lumresults::parse_address("2001:db8:5:6::" + std::to_string(n + 1));
            for (++ready; ready < THREADS;)
                std::this_thread::yield();
            admitted += limit.admit(*peer) ? 1 : 0;
        });
    for (std::thread& accept : accepts)
        accept.join();
    EXPECT_EQ(admitted, PER_ADDRESS);
}

// A place taken at accept is the connection's once it starts, for as long as it is open; one whose connection
// never started is given back.
TEST(HttpFaultsTest, APlaceTakenAtAcceptIsKeptByItsConnectionOrGivenBack) {
    lumresults::AddressLimit limit(1, {}, 50ms);
    const lumresults::IpAddress peer = *lumresults::parse_address("192.0.2.7");
    int connection = 0;
    ASSERT_TRUE(limit.admit(peer));
    EXPECT_FALSE(limit.admit(peer)) << "the place taken at accept was not held";
    limit.opened(&connection, peer);
    std::this_thread::sleep_for(60ms);
    EXPECT_FALSE(limit.admit(peer)) << "an open connection lost its place";
    limit.closed(&connection);
    ASSERT_TRUE(limit.admit(peer)) << "a closed connection kept its place";
    std::this_thread::sleep_for(60ms);
    EXPECT_TRUE(limit.admit(peer)) << "an accept never started kept its place";
}

struct Timed {
    int status = 0;
    std::optional<std::string> retry_after;
    Clock::time_point at;
};

// A flood of sign-ins (each from its own address, for its own name, so that no throttle spares a password
// hash) while the store makes writers wait: beyond what the sign-ins' own lane holds they are refused at
// once with 503 and Retry-After, and an upload sent after them is answered as soon as the store lets it,
// ahead of the sign-ins still waiting.
TEST(HttpFaultsTest, ASignInFloodNeverHoldsAnUpload) {
    constexpr unsigned FLOOD = 40;
    const ScratchFolder folder("lumresults_http_faults_");
    const fs::path data = prepared(folder.path() / "data");
    const ServerChild server(data, {"--workers", "1"}, folder.path() / "serve.log");
    const std::string form_cookie =
        set_cookie(send_to(server.port(), form_request("GET", "/support/sign-in")), "lumresults_signin").value_or("");
    ASSERT_FALSE(form_cookie.empty());
    StoreLock lock(data);
    std::vector<Timed> sign_ins(FLOOD);
    std::vector<std::thread> flood;
    for (unsigned n = 0; n < FLOOD; ++n)
        flood.emplace_back([&, n] {
            const std::string from = "127." + std::to_string(10 + n) + ".0.1";
            const auto answer = exchange(
                server.port(),
                form_request("POST", "/support/sign-in", "Cookie: lumresults_signin=" + form_cookie + "\r\n",
                             "user=flood" + std::to_string(n) + "&password=wrong&csrf=" + form_cookie + "&next=%2F"),
                60s, false, from);
            sign_ins[n] = {answer ? answer->status : 0, answer ? answer->header("Retry-After") : std::nullopt,
                           Clock::now()};
        });
    std::this_thread::sleep_for(1s); // every sign-in is in: waiting, or refused
    Timed upload;
    std::thread uploader([&] {
        const auto answer = exchange(server.port(), upload_request(program_upload_body("sent in a flood\r\n")), 60s,
                                     false, "127.0.3.1");
        upload = {answer && acknowledged_id(*answer) ? 200 : 0, std::nullopt, Clock::now()};
    });
    std::this_thread::sleep_for(300ms); // the upload waits for the store too
    lock.release();
    uploader.join();
    for (std::thread& thread : flood)
        thread.join();
    EXPECT_EQ(upload.status, 200) << "log " << server.log();
    unsigned refused = 0;
    Clock::time_point last_checked = Clock::time_point::min();
    for (const Timed& sign_in : sign_ins) {
        if (sign_in.status == 503) {
            ++refused;
            EXPECT_TRUE(sign_in.retry_after) << "a 503 without Retry-After";
        } else {
            EXPECT_TRUE(sign_in.status == 401 || sign_in.status == 429) << sign_in.status;
            last_checked = std::max(last_checked, sign_in.at);
        }
    }
    EXPECT_GT(refused, 0u) << "the sign-ins queued without bound";
    EXPECT_LT(refused, FLOOD) << "no sign-in was tried";
    EXPECT_LT(upload.at, last_checked) << "the upload waited for every sign-in sent before it";
}

} // namespace
