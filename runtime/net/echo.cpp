// runtime/net/echo.cpp: the echo of a host given by name or dotted address, on top of the platform's one echo.
#include "runtime/net/addresses.h"
#include "runtime/net/echo_backend.h"
#include "runtime/net/net.h"

namespace lum {

// The lookup's text goes through the dotted-text reading rather than straight to the bytes, so that a
// failed lookup ("") is address 0 and is refused like any other unusable address.
std::int32_t echo_host_timed(std::string_view host, std::int32_t timeout_ms) {
    if (host.empty()) return 0; // nothing is sent; callers never ping an empty host
    const std::uint32_t address = address_from_dotted(resolve_host_text(host));
    if (!address_is_usable(address)) return ECHO_NO_ADDRESS;
    return send_echo(address, ECHO_PAYLOAD, timeout_ms);
}

std::int32_t echo_host(std::string_view host) { return echo_host_timed(host, ECHO_TIMEOUT_MS); }

} // namespace lum
