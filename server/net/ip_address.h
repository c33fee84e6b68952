// server/net/ip_address.h: IPv4 and IPv6 addresses as text and bytes, networks, and the blocks an address is counted under.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sockaddr;

namespace lumresults {

// An IPv4 or IPv6 address; IPv4 is kept as its IPv4-mapped IPv6 form so that one comparison serves both.
struct IpAddress {
    std::array<std::uint8_t, 16> bytes{};
    bool operator==(const IpAddress&) const = default;
    bool is_v4() const; // IPv4, or IPv4-mapped IPv6
};

// Dotted IPv4 ("192.0.2.1", also for ::ffff:192.0.2.1) or RFC 5952 IPv6 text.
std::string format_address(const IpAddress& address);
// Strict: dotted IPv4 (four decimal parts, no leading zeros) or IPv6 text; no port, zone or brackets.
std::optional<IpAddress> parse_address(std::string_view text);
// The address of an AF_INET or AF_INET6 socket address; nothing for any other family.
std::optional<IpAddress> address_of(const sockaddr* peer);

struct Cidr {
    IpAddress network;
    unsigned prefix = 0; // counted on the 128-bit form: an IPv4 /24 is stored as /120
    bool contains(const IpAddress& address) const;
};
// The blocks a caller is counted under in the operator's overview: its IPv4 /24 ("100.102.3.0/24") and the
// /16 around it ("100.102.0.0/16", a customer block's size), or its IPv6 /48 ("2001:db8:1::/48"); none for
// text that is no address.
std::vector<std::string> address_blocks(std::string_view caller);

// "10.0.0.0/8", "2001:db8::/32", or a bare address (a single host). Host bits after the prefix are
// cleared ("10.1.2.3/8" is 10.0.0.0/8); the prefix is decimal without leading zeros.
std::optional<Cidr> parse_cidr(std::string_view text);

// An address as a proxy may write it in X-Forwarded-For: bare, or with a port ("192.0.2.1:8080",
// "[2001:db8::1]:8080", "[2001:db8::1]"). Anything else (a name, "unknown", a zone) is not an address.
std::optional<IpAddress> parse_address_with_port(std::string_view text);

} // namespace lumresults
