// tests/server/hostile_clients_test.cpp: clients that crawl, flood or break off neither stall the server nor leave half
// a report.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <future>
#include <memory>
#include <optional>
#include <thread>

#include "raw_http.h"
#include "server_child.h"
#include "staff_client.h"
#include "stored_reports.h"
#include "test_support.h"

namespace {

using namespace lum::server_testing;
using namespace std::chrono_literals;
using lum::testing_support::ScratchFolder;

constexpr std::size_t MAX_UPLOAD = 64 * 1024;
const std::string PROGRAM_TYPE = "multipart/form-Data; boundary=FILEUPLOAD";

// A server with short limits (the seams that keep these tests quick) and fewer threads than crawling
// clients, so that a server that gives each connection a thread is caught.
class HostileClientsTest : public ::testing::Test {
protected:
    HostileClientsTest()
        : data_(folder_.path() / "data"),
          server_(prepared(data_),
                  {"--connection-timeout", "2", "--threads", "2", "--max-upload", std::to_string(MAX_UPLOAD)},
                  folder_.path() / "serve.log") {}

    static const std::filesystem::path& prepared(const std::filesystem::path& data) {
        std::filesystem::create_directory(data);
        return data;
    }

    // "/ip/" answers at once, naming the caller in its first header.
    void expect_still_serving() {
        // The program's own request, to the byte: no Connection line, so the library adds none ahead.
        const auto response =
            exchange(server_.port(), "HEAD /ip/ HTTP/1.1\r\nAccept: */*\r\nHost: 127.0.0.1\r\n\r\n", 5s, true);
        ASSERT_TRUE(response) << "no answer to /ip/; log " << server_.log();
        EXPECT_EQ(response->status, 200);
        ASSERT_FALSE(response->headers.empty());
        EXPECT_EQ(response->headers.front().first, "Client-IP-Address");
        EXPECT_EQ(response->headers.front().second, "127.0.0.1");
    }

    // Ends the server with SIGTERM (uploads in flight finish first) and gives what it stored.
    std::vector<StoredReport> stop_and_list() {
        EXPECT_EQ(server_.stop(), 0) << "log " << server_.log();
        return stored_reports(data_, ReadBytes::ThroughCommand);
    }

    // One good upload after the bad ones, then the store holds it alone: an empty list would not tell
    // "nothing stored" from "nothing listed".
    void expect_only_a_good_one_stored() {
        EXPECT_EQ(upload_status(program_upload_body("the good one\r\n")), 200);
        const auto stored = stop_and_list();
        ASSERT_EQ(stored.size(), 1u);
        EXPECT_EQ(stored[0].bytes, "the good one\r\n");
    }

    int upload_status(const std::string& body, const std::string& type = PROGRAM_TYPE) {
        const auto response = exchange(server_.port(), upload_request(body, type));
        return response ? response->status : 0;
    }

    ScratchFolder folder_{"lumresults_hostile_"};
    std::filesystem::path data_;
    ServerChild server_;
};

// Reads one byte a second: the others are answered meanwhile, and each crawler is cut off once its time is up.
TEST_F(HostileClientsTest, CrawlingClientsBlockNobodyAndAreCutOff) {
    const std::string request = "GET /ip/ HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Crawl: " + std::string(100, 'a');
    std::vector<RawConnection> crawlers;
    for (int crawler = 0; crawler < 8; ++crawler) {
        auto connection = RawConnection::open(server_.port());
        ASSERT_TRUE(connection);
        crawlers.push_back(std::move(*connection));
    }
    std::size_t sent = 0;
    std::vector<bool> cut_off(crawlers.size(), false);
    for (; sent < 12 && std::find(cut_off.begin(), cut_off.end(), false) != cut_off.end(); ++sent) {
        for (std::size_t index = 0; index < crawlers.size(); ++index)
            if (!cut_off[index]) cut_off[index] = !crawlers[index].send_all(request.substr(sent, 1));
        // Well under the two seconds a blocked server would keep the others waiting.
        const auto answer = exchange(server_.port(), simple_request("GET", "/ip/"), 1000ms);
        ASSERT_TRUE(answer) << "an ordinary client waited behind crawlers, " << sent << " s in";
        EXPECT_EQ(answer->status, 200);
        std::this_thread::sleep_for(1s);
        for (std::size_t index = 0; index < crawlers.size(); ++index)
            if (!cut_off[index]) cut_off[index] = crawlers[index].closed_by_peer(1ms);
    }
    EXPECT_LT(sent, 12u) << "crawlers still connected after 12 s with a 2 s limit";
    expect_still_serving();
}

// A host that opens all the connections it may, sending upload headers slowly, holds only its own share:
// another subscriber's start-up check is still answered.
TEST_F(HostileClientsTest, OneAddressCannotTakeEveryConnection) {
    constexpr unsigned TOTAL = 40;
    constexpr unsigned PER_ADDRESS = 10;
    const ServerChild server(prepared(folder_.path() / "limited"),
                             {"--threads", "2", "--connection-limit", std::to_string(TOTAL),
                              "--connections-per-address", std::to_string(PER_ADDRESS)},
                             folder_.path() / "limited.log");
    std::vector<RawConnection> attacker;
    for (unsigned n = 0; n < TOTAL; ++n)
        if (auto connection = RawConnection::open(server.port()); connection)
            if (connection->send_all("POST /lumnettestresult.php HTTP/1.1\r\nHost: 127.0.0.1\r\n"))
                attacker.push_back(std::move(*connection));
    std::size_t kept = 0;
    for (RawConnection& connection : attacker)
        kept += connection.closed_by_peer(200ms) ? 0 : 1;
    // A place is taken as a connection is accepted: threads accepting at once cannot share the last one.
    EXPECT_EQ(kept, PER_ADDRESS);
    const auto answer =
        exchange(server.port(), "HEAD /ip/ HTTP/1.1\r\nAccept: */*\r\nHost: 127.0.0.1\r\n\r\n", 5s, true, "127.0.0.2");
    ASSERT_TRUE(answer) << "another subscriber was refused; log " << server.log();
    EXPECT_EQ(answer->header("Client-IP-Address"), "127.0.0.2");
}

// A store that makes its writers wait (another process holds its lock) delays the upload and the sign-in,
// never the start-up check: the only thread reading requests is free while workers wait, and the upload is
// kept in the end.
TEST_F(HostileClientsTest, AStoreThatWaitsDelaysNoOtherCaller) {
    const std::filesystem::path data = prepared(folder_.path() / "one-thread");
    ServerChild server(data, {"--threads", "1"}, folder_.path() / "one-thread.log");
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open((data / "lumresults.sqlite3").c_str(), &raw), SQLITE_OK);
    const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> holder(raw, &sqlite3_close);
    sqlite3_busy_timeout(raw, 10000); // the server's own start may still be writing
    ASSERT_EQ(sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    auto upload = std::async(std::launch::async, [&] {
        return exchange(server.port(), upload_request(program_upload_body("kept after the wait\r\n")), 20s);
    });
    auto sign_in = std::async(std::launch::async, [&] { return post_sign_in(server.port(), "someone", "wrong"); });
    std::this_thread::sleep_for(300ms); // the upload is waiting for the lock by now
    const auto answer =
        exchange(server.port(), "HEAD /ip/ HTTP/1.1\r\nAccept: */*\r\nHost: 127.0.0.1\r\n\r\n", 2s, true, "127.0.0.2");
    EXPECT_TRUE(answer) << "/ip/ waited behind the store";
    ASSERT_EQ(sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(sign_in.get().status, 401);
    const auto stored = upload.get();
    ASSERT_TRUE(stored) << "log " << server.log();
    EXPECT_TRUE(acknowledged_id(*stored)) << stored->status << " " << stored->body;
}

// With staff networks named, staff pages refuse everyone else before any work; the program's paths do not.
TEST_F(HostileClientsTest, StaffPagesAnswerOnlyStaffNetworks) {
    const ServerChild server(prepared(folder_.path() / "staff-only"), {"--staff-from", "127.0.0.1/32"},
                             folder_.path() / "staff-only.log");
    for (const std::string path : {"/support/sign-in", "/support/", "/api/v1/reports", "/support/nothing-here"}) {
        const auto outsider = exchange(server.port(), simple_request("GET", path), 5s, false, "127.0.0.2");
        ASSERT_TRUE(outsider) << path;
        EXPECT_EQ(outsider->status, path == "/support/nothing-here" ? 404 : 403) << path;
    }
    const auto staff = exchange(server.port(), simple_request("GET", "/support/sign-in"));
    ASSERT_TRUE(staff);
    EXPECT_EQ(staff->status, 200);
    const auto subscriber = exchange(server.port(), simple_request("GET", "/ip/"), 5s, false, "127.0.0.2");
    ASSERT_TRUE(subscriber);
    EXPECT_EQ(subscriber->status, 200);
}

TEST_F(HostileClientsTest, HugeHeadersAreRefusedClearly) {
    const std::string request = "GET /ip/ HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Flood: " + std::string(64 * 1024, 'h') +
                                "\r\nConnection: close\r\n\r\n";
    const auto response = exchange(server_.port(), request);
    ASSERT_TRUE(response) << "no answer to 64 KB of headers";
    EXPECT_TRUE(response->status == 431 || response->status == 413 || response->status == 400) << response->status;
    expect_still_serving();
}

// Each connection's buffer is cleared for every request, which tempts one to shrink it; a staff browser's
// headers, with a few KB of cookies from the operator's other sites, must still fit.
TEST_F(HostileClientsTest, ABrowsersLargeHeadersStillFit) {
    const std::string request =
        "GET /support/sign-in HTTP/1.1\r\nHost: results.example\r\nUser-Agent: " + std::string(300, 'u') +
        "\r\nAccept: " + std::string(200, 'a') + "\r\nCookie: " + std::string(5 * 1024, 'c') +
        "\r\nConnection: close\r\n\r\n";
    const auto response = exchange(server_.port(), request);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
}

// Where a body ends must be certain: a proxy in front that read it otherwise would let one request smuggle
// another past it. Two different lengths, or a length beside chunked coding, are refused on every path.
TEST_F(HostileClientsTest, AmbiguousBodyLengthsAreRefusedOnEveryPath) {
    const std::string body = program_upload_body("smuggled\r\n");
    const std::string head = "POST /lumnettestresult.php HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + PROGRAM_TYPE +
                             "\r\nConnection: close\r\n";
    const std::string length = "Content-Length: " + std::to_string(body.size()) + "\r\n";
    const std::vector<std::string> requests = {
        head + length + "Content-Length: 5\r\n\r\n" + body,
        head + length + "Transfer-Encoding: chunked\r\n\r\n" + body,
        "GET /ip/ HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\nContent-Length: 1\r\nConnection: close\r\n\r\nx",
    };
    for (const std::string& request : requests) {
        const auto response = exchange(server_.port(), request);
        ASSERT_TRUE(response) << request.substr(0, request.find("\r\n\r\n"));
        EXPECT_EQ(response->status, 400) << request.substr(0, request.find("\r\n\r\n"));
    }
    expect_only_a_good_one_stored();
}

// Bodies that are not one well-formed "userfile" part are refused, and none of them leaves a report.
TEST_F(HostileClientsTest, MalformedUploadsAreRefusedAndStoreNothing) {
    const std::string part = "Content-Disposition: form-data; name='userfile'; filename='lumtest.log'\r\n"
                             "Content-Type: text/plain\r\n\r\nreport\r\n";
    const struct {
        const char* what;
        std::string body;
        std::string type;
    } cases[] = {
        {"another boundary in the body", "--ELSEWHERE\r\n" + part + "--ELSEWHERE--\r\n", PROGRAM_TYPE},
        {"no boundary in the type", program_upload_body("report"), "multipart/form-Data"},
        {"no closing delimiter", "--FILEUPLOAD\r\n" + part, PROGRAM_TYPE},
        {"no file part", "--FILEUPLOAD\r\nContent-Disposition: form-data; name='other'\r\n\r\nx\r\n--FILEUPLOAD--\r\n",
         PROGRAM_TYPE},
        {"two file parts", "--FILEUPLOAD\r\n" + part + "--FILEUPLOAD\r\n" + part + "--FILEUPLOAD--\r\n", PROGRAM_TYPE},
    };
    for (const auto& bad : cases) {
        EXPECT_EQ(upload_status(bad.body, bad.type), 400) << bad.what;
        expect_still_serving();
    }
    expect_only_a_good_one_stored();
}

TEST_F(HostileClientsTest, ABodyBrokenOffStoresNothing) {
    const std::string request = upload_request(program_upload_body(std::string(20000, 'r')));
    {
        auto connection = RawConnection::open(server_.port());
        ASSERT_TRUE(connection);
        ASSERT_TRUE(connection->send_all(std::string_view(request).substr(0, request.size() - 5000)));
        std::this_thread::sleep_for(200ms); // let the server read what there is before the close
    }
    expect_still_serving();
    expect_only_a_good_one_stored();
}

// Too much is refused from what the client declares, before any of the body is read, and a chunked body
// that grows past the limit is refused once it does.
TEST_F(HostileClientsTest, OversizedUploadsAreRefusedWithoutReading) {
    auto declared = RawConnection::open(server_.port());
    ASSERT_TRUE(declared);
    ASSERT_TRUE(declared->send_all("POST /lumnettestresult.php HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " +
                                   PROGRAM_TYPE + "\r\nContent-Length: 1073741824\r\n\r\n"));
    const auto refused = declared->read_response(5s);
    ASSERT_TRUE(refused) << "no answer without the body";
    EXPECT_EQ(refused->status, 413);
    expect_still_serving();

    auto chunked = RawConnection::open(server_.port());
    ASSERT_TRUE(chunked);
    std::string request = "POST /lumnettestresult.php HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + PROGRAM_TYPE +
                          "\r\nTransfer-Encoding: chunked\r\n\r\n";
    const std::string body = program_upload_body(std::string(2 * MAX_UPLOAD, 'c'));
    for (std::size_t at = 0; at < body.size(); at += 4096) {
        const std::string piece = body.substr(at, 4096);
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
        request += size + piece + "\r\n";
    }
    chunked->send_all(request + "0\r\n\r\n"); // the server may stop reading part-way
    const auto too_big = chunked->read_response(5s);
    ASSERT_TRUE(too_big) << "no answer to a chunked body over the limit";
    EXPECT_EQ(too_big->status, 413);
    expect_still_serving();
    expect_only_a_good_one_stored();
}

// ---- Uploads that a web page makes ---------------------------------------------------------------------
// Another site's page can make a subscriber's browser post to the upload path (a form needs nobody's leave),
// planting a report under their address. The browser names the page's site; the program never sends
// Origin or Sec-Fetch-Site. Refused from the headers alone, before any of the body is read.
TEST_F(HostileClientsTest, UploadsThatABrowserSaysComeFromAnotherSiteAreRefusedUnread) {
    const struct {
        const char* what;
        std::string header;
    } cases[] = {
        {"another site's Origin", "Origin: http://evil.example\r\n"},
        {"a sandboxed page's Origin", "Origin: null\r\n"},
        {"a host that only starts like this one", "Origin: http://127.0.0.1.evil.example\r\n"},
        {"Sec-Fetch-Site", "Sec-Fetch-Site: cross-site\r\n"},
    };
    for (const auto& c : cases) {
        auto connection = RawConnection::open(server_.port());
        ASSERT_TRUE(connection);
        ASSERT_TRUE(connection->send_all("POST /lumnettestresult.php HTTP/1.1\r\nHost: 127.0.0.1\r\n" + c.header +
                                         "Content-Type: " + PROGRAM_TYPE + "\r\nContent-Length: 60000\r\n\r\n"));
        const auto refused = connection->read_response(5s);
        ASSERT_TRUE(refused) << c.what << ": no answer without the body";
        EXPECT_EQ(refused->status, 403) << c.what;
    }
    expect_only_a_good_one_stored();
}

// ---- Hostile report contents: what one stored report costs on disk, in listings and in memory ----------

constexpr std::size_t MiB = 1024 * 1024;

// A server of its own with room for reports of megabytes, and a staff member and an API token to look at
// what it lists.
class HostileContentTest : public ::testing::Test {
protected:
    static constexpr std::size_t REPORT_LIMIT = 8 * MiB;

    std::unique_ptr<ServerChild> start(const std::string& name) {
        const std::filesystem::path data = folder_.path() / name;
        const std::vector<std::string> store{"--data", data.string()};
        EXPECT_EQ(run_lumresults({"user", "add", "ann", store[0], store[1]}, "pass word\n").exit_code, 0);
        const CommandResult token = run_lumresults({"token", "add", "robot", store[0], store[1]});
        token_ = token.output.substr(0, token.output.find('\n'));
        return std::make_unique<ServerChild>(data,
                                             std::vector<std::string>{"--max-upload", std::to_string(REPORT_LIMIT)},
                                             folder_.path() / (name + ".log"));
    }

    // The data folder's bytes once no upload waits in its spool.
    static std::uintmax_t folder_bytes(const std::filesystem::path& data) {
        for (int tries = 0; tries < 100 && !std::filesystem::is_empty(data / "spool"); ++tries)
            std::this_thread::sleep_for(50ms);
        std::uintmax_t bytes = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(data))
            bytes += entry.is_regular_file() ? entry.file_size() : 0;
        return bytes;
    }

    // The peak of the process's resident memory so far.
    static std::size_t peak_resident_bytes(pid_t pid) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("VmHWM:")) return std::stoull(line.substr(6)) * 1024;
        ADD_FAILURE() << "no VmHWM for " << pid;
        return 0;
    }

    static int upload(const ServerChild& server, const std::string& report) {
        const auto response = exchange(server.port(), upload_request(program_upload_body(report)), 120s);
        return response ? response->status : 0;
    }

    std::size_t body_size(const ServerChild& server, const std::string& target, const std::string& headers) {
        const HttpResponse response = send_to(server.port(), form_request("GET", target, headers));
        EXPECT_EQ(response.status, 200) << target;
        return response.body.size();
    }

    ScratchFolder folder_{"lumresults_contents_"};
    std::string token_;
};

// The report's bytes are stored once: no second copy left in a journal, no reading as large as the report
// (a control byte is six in JSON); and the listings and the reading of it stay a few kilobytes.
TEST_F(HostileContentTest, AReportCostsItsSizeOnDiskAndLittleInListings) {
    const std::size_t size = REPORT_LIMIT - 4096; // room for the form's own lines
    const std::string header_start = "Lumora Network Test v1.4\r\n\r\n";
    const std::string header_end = "\r\n\r\n=== TEST START === 2014-03-09 08:05:07\r\n\r\n";
    const struct {
        const char* what;
        std::string report;
    } cases[] = {
        {"release-line-of-controls",
         header_start + std::string(size - header_start.size() - header_end.size(), '\x01') + header_end},
        {"bare-line-feeds", std::string(size, '\n')},
    };
    for (const auto& [what, report] : cases) {
        SCOPED_TRACE(what);
        const auto server = start(what);
        const std::filesystem::path data = folder_.path() / what;
        const std::uintmax_t before = folder_bytes(data);
        ASSERT_EQ(upload(*server, report), 200);
        const std::uintmax_t grown = folder_bytes(data) - before;
        std::printf("%s: the data folder grew by %ju bytes for a report of %zu\n", what, grown, report.size());
        EXPECT_LE(grown, report.size() * 3 / 2 + MiB);
        const std::string bearer = "Authorization: Bearer " + token_ + "\r\n";
        EXPECT_LT(body_size(*server, "/api/v1/reports", bearer), 8 * 1024u);
        EXPECT_LT(body_size(*server, "/api/v1/reports/1", bearer), 64 * 1024u);
        const HttpResponse signed_in = post_sign_in(server->port(), "ann", "pass word");
        const std::string session = session_cookie(set_cookie(signed_in, "lumresults_session").value_or(""));
        EXPECT_LT(body_size(*server, "/support/", session), 64 * 1024u);
    }
}

// Reading a report back costs memory for its bytes, not for its lines: uploads of bare line feeds, as many
// at once as the server has threads, raise its peak by a few times their bodies at most (under the
// sanitizers' own costs); a line read into an object each cost sixteen times.
TEST_F(HostileContentTest, ConcurrentReportsOfLineFeedsCostAboutTheirBytes) {
    const auto server = start("line-feeds");
    const std::string report(REPORT_LIMIT - 4096, '\n');
    const std::size_t before = peak_resident_bytes(server->pid());
    std::vector<int> statuses(2, 0); // --threads' default
    std::vector<std::thread> clients;
    for (int& status : statuses)
        clients.emplace_back([&] { status = upload(*server, report); });
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(statuses, std::vector<int>(2, 200));
    const std::size_t rise = peak_resident_bytes(server->pid()) - before;
    std::printf("peak resident memory rose by %zu bytes for %zu bytes of reports\n", rise, 2 * report.size());
    EXPECT_LT(rise, 4 * statuses.size() * report.size());
}

} // namespace
