// runtime/net/net.h: the network service: start and stop, and one ICMP echo.
#pragma once

#include <cstdint>
#include <string_view>

namespace lum {

inline constexpr std::int32_t ECHO_NO_REPLY = -1;
inline constexpr std::int32_t ECHO_NO_ADDRESS = -2;

// Starts the sockets service; the result may be ignored, since the echo starts it for itself.
bool network_start();

// Teardown: closes the service's connections and ends its use of the sockets service.
void network_stop();

// One echo request to `host` with a 500 ms time-out: the round-trip time in milliseconds (0 or more),
// ECHO_NO_REPLY, ECHO_NO_ADDRESS when the host gives no usable address, or 0 for an empty host.
std::int32_t echo_host(std::string_view host);

} // namespace lum
