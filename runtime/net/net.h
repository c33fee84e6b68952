// runtime/net/net.h: the network service: start and stop, one ICMP echo, name resolution, and the HTTP header fetch.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lum {

inline constexpr std::int32_t ECHO_NO_REPLY = -1;
inline constexpr std::int32_t ECHO_NO_ADDRESS = -2;
inline constexpr std::int32_t ECHO_TIMEOUT_MS = 500;

// Starts the sockets service (Windows Sockets 1.1 and, where present, the IPv6 lookup calls); true when
// it started. The echo and the lookups start it for themselves as well.
bool network_start();

// Teardown: ends this program's use of the sockets service.
void network_stop();

// One echo request with the payload "PING from Zendrix" to `host` (a name or a dotted address):
// the reply's round-trip time in milliseconds (0 or more), ECHO_NO_REPLY when no reply came within
// the time-out, ECHO_NO_ADDRESS when the host gives no usable address, and 0 for an empty host.
std::int32_t echo_host_timed(std::string_view host, std::int32_t timeout_ms);
std::int32_t echo_host(std::string_view host);

// The host's IPv4 address as dotted text: the last address the lookup lists; "" when there is none.
std::string resolve_host_text(std::string_view host);

// a.b.c.d as it lies in memory: a + b*256 + c*65536 + d*16777216, with carries between the bytes.
std::uint32_t ip_from_bytes(std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d);

// The first block of the answer to a HEAD request for `url` (at most 1023 bytes, line ends kept), or ""
// on any failure.
std::string fetch_http_head(std::string_view url);

} // namespace lum
