// runtime/net/echo_backend.h: what each platform gives the echo: one ICMP echo request and its reply.
#pragma once

#include <cstdint>
#include <string_view>

namespace lum {

// The program's own echo payload, sent without a terminating zero; its length is the request size.
inline constexpr std::string_view ECHO_PAYLOAD = "PING from Zendrix";

// Sends one echo request carrying `payload` to `address` (an address value, see addresses.h) and waits
// up to `timeout_ms` (below 0 counts as 0) for its reply: the round-trip time in whole milliseconds
// (0 or more), or ECHO_NO_REPLY when none came, the address cannot be reached, or the platform's ICMP
// service could not be opened.
std::int32_t send_echo(std::uint32_t address, std::string_view payload, std::int32_t timeout_ms);

} // namespace lum
