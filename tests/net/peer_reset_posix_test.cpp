// tests/net/peer_reset_posix_test.cpp: a send after the server has reset the connection fails; no SIGPIPE.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <csignal>

#include "runtime/net/connection.h"
#include "runtime/net/net.h"
#include "tests/lab/stand_in/loopback_socket.h"
#include "test_support.h"

namespace lum {
namespace {

// A server that accepts and resets at once: SO_LINGER with a zero time makes the close send RST.
void accept_and_reset(const lab::Socket& listener) {
    lab::Socket accepted = lab::wait_readable(listener, 30000) ? lab::accept_connection(listener) : lab::Socket();
    const linger abort_at_close{1, 0};
    setsockopt(accepted.get(), SOL_SOCKET, SO_LINGER, &abort_at_close, sizeof(abort_at_close));
    accepted.reset();
}

// The program leaves SIGPIPE at its default, which ends the process: the test does the same, so that a
// send raising the signal kills the test binary rather than passing unnoticed.
TEST(PeerReset, SendingAfterTheResetFailsAndTheProgramLivesOn) {
    std::signal(SIGPIPE, SIG_DFL);
    network_start();
    std::uint16_t port = 0;
    const lab::Socket listener = lab::listen_on_loopback(port);
    ConnectionHandle connection = open_tcp_connection("127.0.0.1", port);
    ASSERT_TRUE(connection);
    accept_and_reset(listener);
    ASSERT_TRUE(testing_support::wait_until([&] { return poll_connection(*connection) == CONNECTION_CLOSED; }));
    // The first send reports the reset; the retries that follow meet a closed socket, where SIGPIPE
    // would come. One second bounds the fetch's 30.
    EXPECT_EQ(send_all_timed(*connection, "HEAD /ip/ HTTP/1.1\r\n\r\n", 1), 0);
    EXPECT_EQ(send_bytes(*connection, "x", 1), -1);
    close_connection(std::move(connection));
    network_stop();
}

} // namespace
} // namespace lum
