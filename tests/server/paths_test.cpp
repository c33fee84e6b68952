// tests/server/paths_test.cpp: the four paths as the program and other clients use them, the pages, the
// refusals, and a stop that lets an upload in flight finish.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <fstream>
#include <set>
#include <thread>

#include "raw_http.h"
#include "runtime/net/net.h"
#include "server/store/store.h"
#include "server_child.h"
#include "stored_reports.h"
#include "test_support.h"
#include "testrun/closing.h"
#include "testrun/startup_check.h"

namespace {

using namespace lum::server_testing;
using namespace std::chrono_literals;
using lum::testing_support::ScratchFolder;

// A report as the program writes it: the console's code page (here 866 bytes), CR LF, a footer.
const std::string REPORT =
    "Lumora Network Test v1.4\r\n\r\nWindows Future\r\n\x8f\xe0\xae\xa2\xa5\xe0\xaa\xa0 \x01\xff\r\n"
    "=== TEST END === 2026-12-07 10:00:00\r\n";

// The test's client is 127.0.0.1, trusted as a proxy so that forwarded addresses can be tried too.
class PathsTest : public ::testing::Test {
protected:
    PathsTest() : server_(folder_.path() / "data", {"--trusted-proxy", "127.0.0.1"}, folder_.path() / "serve.log") {}

    HttpResponse get(std::string_view request, bool to_head = false) {
        std::optional<HttpResponse> response = exchange(server_.port(), request, 10000ms, to_head);
        EXPECT_TRUE(response) << request;
        return response.value_or(HttpResponse{});
    }
    // Without "Connection: close", as the program asks: the library would put that line first in the answer.
    std::string request(std::string_view method, std::string_view target, std::string_view extra = "") {
        return std::string(method) + " " + std::string(target) + " HTTP/1.1\r\nHost: nettest.lumora.example\r\n" +
               std::string(extra) + "\r\n";
    }

    ScratchFolder folder_{"lumresults_paths_"};
    ServerChild server_;
};

// The upload body that the program's own code writes around its report file (wget cannot start: PATH
// names an empty folder, so nothing is sent anywhere).
std::string body_from_the_program(const std::filesystem::path& folder) {
    lum::RunState state = lum::make_run_state();
    lum::prepare_paths(state, folder.string(), "");
    std::ofstream(state.ReportPath, std::ios::binary) << REPORT;
    const std::string path = getenv("PATH");
    setenv("PATH", folder.c_str(), 1);
    lum::upload_report(state);
    setenv("PATH", path.c_str(), 1);
    return lum::testing_support::file_contents(state.UploadPath);
}

TEST_F(PathsTest, TheProgramFindsItsAddressInTheFirstBlockOfTheAnswer) {
    const std::string block = lum::fetch_http_head("http://127.0.0.1:" + std::to_string(server_.port()) + "/ip/");
    EXPECT_EQ(lum::public_address_from(block), "127.0.0.1");
    EXPECT_EQ(block.substr(0, block.find("\r\n", block.find("\r\n") + 2)),
              "HTTP/1.1 200 OK\r\nClient-IP-Address: 127.0.0.1");
}

TEST(PathsOverIpv6Test, AnIpv4CallerOfADualStackListenerIsWrittenAsIpv4) {
    ScratchFolder folder("lumresults_dual_");
    ServerChild server(folder.path() / "data", {"--listen", "[::]:0"}, folder.path() / "serve.log");
    const std::string block = lum::fetch_http_head("http://127.0.0.1:" + std::to_string(server.port()) + "/ip/");
    EXPECT_EQ(lum::public_address_from(block), "127.0.0.1");
}

TEST_F(PathsTest, BehindATrustedProxyTheCallerIsTheRightMostUntrustedAddress) {
    const struct {
        const char* forwarded;
        const char* caller;
    } cases[] = {
        {"203.0.113.9", "203.0.113.9"},
        {"198.51.100.1, 203.0.113.9, 127.0.0.1", "203.0.113.9"},
        {"unknown", "127.0.0.1"},
        {"::ffff:192.0.2.33", "192.0.2.33"},
    };
    for (const auto& one : cases) {
        const HttpResponse answer =
            get(request("HEAD", "/ip/", "X-Forwarded-For: " + std::string(one.forwarded) + "\r\n"), true);
        ASSERT_FALSE(answer.headers.empty());
        EXPECT_EQ(answer.headers.front().first, "Client-IP-Address") << one.forwarded;
        EXPECT_EQ(answer.headers.front().second, one.caller) << one.forwarded;
    }
}

TEST_F(PathsTest, TheDownloadIsTenMebibytesOfRandomBytesNeverCached) {
    const HttpResponse first = get(request("GET", "/10mb.bin"));
    ASSERT_EQ(first.body.size(), 10u * 1024 * 1024);
    EXPECT_EQ(first.header("Cache-Control"), "no-store");
    EXPECT_EQ(std::set<char>(first.body.begin(), first.body.begin() + 65536).size(), 256u);
    EXPECT_EQ(get(request("GET", "/10mb.bin")).body, first.body) << "made once, at start";
    const HttpResponse head = get(request("HEAD", "/10mb.bin"), true);
    EXPECT_EQ(head.header("Content-Length"), "10485760");
    EXPECT_TRUE(head.body.empty());
}

TEST_F(PathsTest, UploadsAsEachEncoderWritesThemAreKeptByteForByte) {
    const struct {
        const char* encoder;
        std::string body;
        std::string type;
        const char* part_type;
    } cases[] = {
        {"the program", body_from_the_program(folder_.path()), "multipart/form-Data; boundary=FILEUPLOAD",
         "text/plain"},
        {"a script library",
         "--4f1c\r\nContent-Disposition: form-data; name=\"userfile\"; filename=\"lumtest.log\"\r\n"
         "Content-Type: text/plain\r\n\r\n" +
             REPORT + "\r\n--4f1c--\r\n",
         "multipart/form-data; boundary=4f1c", "text/plain"},
        {"curl",
         "--------------------------d74496d66958873e\r\nContent-Disposition: form-data; name=\"note\"\r\n\r\nhello\r\n"
         "--------------------------d74496d66958873e\r\nContent-Disposition: form-data; name=\"userfile\"; "
         "filename=\"lumtest.log\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
             REPORT + "\r\n--------------------------d74496d66958873e--\r\n",
         "multipart/form-data; boundary=------------------------d74496d66958873e", "application/octet-stream"},
    };
    for (const auto& one : cases) {
        const HttpResponse answer = get(upload_request(one.body, one.type));
        const std::optional<long long> id = acknowledged_id(answer);
        ASSERT_TRUE(id) << one.encoder << ": " << answer.status << " " << answer.body;
        const std::vector<StoredReport> stored = stored_reports(folder_.path() / "data", ReadBytes::ThroughCommand);
        const auto found =
            std::find_if(stored.begin(), stored.end(), [&](const StoredReport& r) { return r.id == *id; });
        ASSERT_NE(found, stored.end()) << one.encoder;
        EXPECT_EQ(found->bytes, REPORT) << one.encoder;
        EXPECT_EQ(found->sha256, sha256_hex(REPORT)) << one.encoder;
        EXPECT_EQ(found->caller, "127.0.0.1") << one.encoder;
        EXPECT_EQ(found->file_name, "lumtest.log") << one.encoder;
        EXPECT_EQ(found->content_type, one.part_type) << one.encoder;
        // Read back at upload, once stored.
        EXPECT_TRUE(lumresults::open_sqlite_store(folder_.path() / "data")->find_reading(*id)) << one.encoder;
    }
    // Each reading counted by test and verdict, and each upload's time, for the operator's Prometheus.
    const std::string metrics = get(request("GET", "/metrics")).body;
    for (const char* line : {"lumresults_readings_total{test=\"3\",verdict=\"not_reached\"} 3\n",
                             "lumresults_request_duration_seconds_bucket{route=\"upload\",le=\"+Inf\"} 3\n",
                             "lumresults_request_duration_seconds_count{route=\"upload\"} 3\n"})
        EXPECT_NE(metrics.find(line), std::string::npos) << line << metrics;
}

TEST_F(PathsTest, PagesAnswerAndEverythingElseIsRefused) {
    const struct {
        std::string request;
        int status;
        const char* contains; // in the body, or the Allow header for 405
    } cases[] = {
        {request("GET", "/"), 200, "results server"},
        {request("GET", "/?lumnettest"), 200, "speed test"},
        {request("GET", "/metrics"), 200, "lumresults_uploads_stored_total 0"},
        {request("GET", "/metrics", "X-Forwarded-For: 203.0.113.9\r\n"), 403, "forbidden"},
        {request("GET", "/lumnettestresult.php"), 405, "POST"},
        {request("PUT", "/ip/"), 405, "GET, HEAD"},
        {request("GET", "/ip"), 404, "not found"},
        {request("GET", "/../etc/passwd"), 404, "not found"},
    };
    for (const auto& one : cases) {
        const HttpResponse answer = get(one.request);
        EXPECT_EQ(answer.status, one.status) << one.request;
        const std::string shown = one.status == 405 ? answer.header("Allow").value_or("") : answer.body;
        EXPECT_NE(shown.find(one.contains), std::string::npos) << one.request << " gave: " << shown;
    }
}

TEST_F(PathsTest, SigtermLetsTheUploadInFlightFinishAndTakesNoNewOne) {
    const std::string whole = upload_request(program_upload_body(REPORT));
    std::optional<RawConnection> uploader = RawConnection::open(server_.port());
    ASSERT_TRUE(uploader);
    ASSERT_TRUE(uploader->send_all(whole.substr(0, whole.size() / 2)));
    std::this_thread::sleep_for(300ms); // the server has the headers and is reading the body
    ASSERT_EQ(::kill(server_.pid(), SIGTERM), 0);
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(RawConnection::open(server_.port())) << "a connection was taken after SIGTERM";
    ASSERT_TRUE(uploader->send_all(whole.substr(whole.size() / 2)));
    const std::optional<HttpResponse> answer = uploader->read_response(10000ms);
    ASSERT_TRUE(answer);
    EXPECT_TRUE(acknowledged_id(*answer)) << answer->status << " " << answer->body;
    EXPECT_EQ(server_.stop(), 0);
    const std::vector<StoredReport> stored = stored_reports(folder_.path() / "data", ReadBytes::ThroughStore);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored.front().bytes, REPORT);
}

} // namespace
