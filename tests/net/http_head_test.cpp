// tests/net/http_head_test.cpp: the HEAD request and its first block, against a scripted server on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "runtime/net/connection.h"
#include "runtime/net/net.h"
#include "tests/net/scripted_server.h"

namespace lum {
namespace {

using testing_support::ScriptedServer;

class HttpHeadTest : public ::testing::Test {
protected:
    void SetUp() override { network_start(); }
    void TearDown() override { network_stop(); }
};

TEST_F(HttpHeadTest, RequestIsExactlyHeadAcceptAndHost) {
    ScriptedServer server({{"HTTP/1.1 200 OK\r\n\r\n"}});
    fetch_http_head(server.url("/ip/"));
    EXPECT_EQ(server.request(), "HEAD /ip/ HTTP/1.1\r\nAccept: */*\r\nHost: 127.0.0.1\r\n\r\n");
}

TEST_F(HttpHeadTest, UrlWithoutPathAsksForTheRoot) {
    ScriptedServer server({{"HTTP/1.1 200 OK\r\n\r\n"}});
    fetch_http_head(server.url(""));
    EXPECT_EQ(server.request(), "HEAD / HTTP/1.1\r\nAccept: */*\r\nHost: 127.0.0.1\r\n\r\n");
}

// The request is built in a text of its own size: a path of any length goes out whole.
TEST_F(HttpHeadTest, LongPathIsSentWhole) {
    const std::string path = "/" + std::string(2000, 'p') + "?q=" + std::string(500, 'v');
    ScriptedServer server({{"HTTP/1.1 200 OK\r\n\r\n"}});
    fetch_http_head(server.url(path));
    EXPECT_EQ(server.request(), "HEAD " + path + " HTTP/1.1\r\nAccept: */*\r\nHost: 127.0.0.1\r\n\r\n");
}

TEST_F(HttpHeadTest, ShortAnswerComesBackWhole) {
    std::string answer = "HTTP/1.1 200 OK\r\nClient-IP-Address: 100.102.3.4\r\n";
    answer += "X-Padding: " + std::string(300 - answer.size() - 15, 'x') + "\r\n\r\n";
    ASSERT_EQ(answer.size(), 300u);
    ScriptedServer server({{answer}});
    EXPECT_EQ(fetch_http_head(server.url("/ip/")), answer);
}

TEST_F(HttpHeadTest, FullBlockLosesItsLastByte) {
    const std::string answer = "HTTP/1.1 200 OK\r\n" + std::string(1024 - 17, 'h');
    ScriptedServer server({{answer}});
    EXPECT_EQ(fetch_http_head(server.url("/ip/")), answer.substr(0, 1023));
}

// Only the first segment is read: an address line that comes later is never seen.
TEST_F(HttpHeadTest, OnlyTheFirstSegmentIsRead) {
    ScriptedServer server({{"HTTP/1.1 200 OK\r\n", 400}, {"Client-IP-Address: 100.102.3.4\r\n\r\n"}});
    EXPECT_EQ(fetch_http_head(server.url("/ip/")), "HTTP/1.1 200 OK\r\n");
}

TEST_F(HttpHeadTest, ZeroByteEndsTheText) {
    ScriptedServer server({{std::string("HTTP/1.1 200 OK\r\n\0hidden", 25)}});
    EXPECT_EQ(fetch_http_head(server.url("/ip/")), "HTTP/1.1 200 OK\r\n");
}

TEST_F(HttpHeadTest, RefusedOrClosedWithoutAnswerGivesNothing) {
    std::uint16_t closed_port = 0;
    { lab::Socket unused = lab::listen_on_loopback(closed_port); }
    EXPECT_EQ(fetch_http_head("http://127.0.0.1:" + std::to_string(closed_port) + "/ip/"), "");
    ScriptedServer silent_close({});
    EXPECT_EQ(fetch_http_head(silent_close.url("/ip/")), "");
    EXPECT_EQ(fetch_http_head("no scheme at all"), "");
}

// The fetch gives a silent server 30 seconds; the same wait, bounded to 1 second here.
TEST_F(HttpHeadTest, SilentServerTimesTheReceiveOut) {
    ScriptedServer server({{"", 3000}});
    ConnectionHandle connection = open_tcp_connection("127.0.0.1", server.port());
    ASSERT_TRUE(connection);
    ASSERT_EQ(send_all_timed(*connection, "HEAD / HTTP/1.1\r\n\r\n", 5), 1);
    char buffer[64];
    EXPECT_EQ(receive_timed(*connection, buffer, sizeof(buffer), 1), 0);
    EXPECT_EQ(poll_connection(*connection), CONNECTION_NOTHING);
}

} // namespace
} // namespace lum
