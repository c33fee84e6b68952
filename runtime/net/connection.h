// runtime/net/connection.h: small TCP and UDP client connections: open, send, poll, receive, close.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace lum {

inline constexpr std::int32_t CONNECTION_TCP = 1;
inline constexpr std::int32_t CONNECTION_UDP = 2;
inline constexpr std::int32_t CONNECTION_IPV6 = 0x10000000;

// What poll_connection found.
inline constexpr std::int32_t CONNECTION_NOTHING = 0;
inline constexpr std::int32_t CONNECTION_DATA = 2;
inline constexpr std::int32_t CONNECTION_CLOSED = 4;

class Connection;

struct ConnectionCloser {
    void operator()(Connection* connection) const;
};
using ConnectionHandle = std::unique_ptr<Connection, ConnectionCloser>;

// mode: CONNECTION_TCP (or 0) or CONNECTION_UDP, plus CONNECTION_IPV6. A TCP connection may be bound
// to a local address and port first; timeout_ms above 0 bounds its connect. Null on failure.
ConnectionHandle open_connection(std::string_view host, std::int32_t port, std::int32_t mode, std::int32_t timeout_ms,
                                 std::string_view local_address, std::int32_t local_port);
ConnectionHandle open_tcp_connection(std::string_view host, std::int32_t port);

// Bytes sent, or -1.
std::int32_t send_bytes(Connection& connection, const char* data, std::int32_t length);

// CONNECTION_NOTHING, CONNECTION_DATA or CONNECTION_CLOSED (closed or failed).
std::int32_t poll_connection(Connection& connection);

// Bytes received (0 when the peer closed), or -1.
std::int32_t receive_bytes(Connection& connection, char* buffer, std::int32_t length);

void close_connection(ConnectionHandle connection);

// Sends everything within `seconds` (whole seconds of the clock); 1 when it all went out, else 0.
std::int32_t send_all_timed(Connection& connection, std::string_view data, std::int32_t seconds);

// Waits up to `seconds` for data and receives it once: the bytes received (above 0), or 0.
std::int32_t receive_timed(Connection& connection, char* buffer, std::int32_t length, std::int32_t seconds);

} // namespace lum
