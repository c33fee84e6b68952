// runtime/net/posix/icmp_echo.h: the pieces of the POSIX echo: ICMP socket kinds, the request and its reply.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace lum {

// A datagram ICMP socket needs no rights where the system's ping_group_range admits the user's group;
// a raw one needs root (or CAP_NET_RAW) and sees every ICMP packet the host receives.
enum class IcmpSocketKind { datagram, raw };

struct EchoRequest {
    std::uint16_t identifier = 0; // a datagram socket's kernel replaces it with the socket's own number
    std::uint16_t sequence = 0;
    std::string_view payload;
};

// The request as it goes on the wire: type 8, code 0, checksum, identifier, sequence (both in network
// byte order), then the payload.
std::vector<unsigned char> echo_request_packet(const EchoRequest& request);

// True when `packet`, one read from a socket of `kind`, is the echo reply to `request`: type 0, code 0,
// the same sequence and payload, and on a raw socket (whose reads begin with the IP header) the same
// identifier as well. Our own request, seen on a raw socket when the target is this host, is not one.
bool is_reply_to(std::span<const unsigned char> packet, const EchoRequest& request, IcmpSocketKind kind);

// send_echo (echo_backend.h) over a socket of one kind only; ECHO_NO_REPLY when it cannot be opened.
std::int32_t send_echo_through(IcmpSocketKind kind, std::uint32_t address, std::string_view payload,
                               std::int32_t timeout_ms);

} // namespace lum
