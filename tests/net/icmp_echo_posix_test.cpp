// tests/net/icmp_echo_posix_test.cpp: the POSIX echo's request packet, its reply match, and each socket kind.
#include "runtime/net/echo_backend.h"
#include "runtime/net/net.h"
#include "runtime/net/posix/icmp_echo.h"

#include <gtest/gtest.h>

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lum {
namespace {

const EchoRequest REQUEST{0x1234, 0x0102, ECHO_PAYLOAD};
constexpr std::int32_t LONG_TIMEOUT_MS = 5000;

// The reply a host sends back: the request with type 0 (its checksum is not looked at).
std::vector<unsigned char> reply_to(const EchoRequest& request) {
    std::vector<unsigned char> packet = echo_request_packet(request);
    packet[0] = 0;
    return packet;
}

// A minimal IPv4 header of `words` 32-bit words before the ICMP message, as a raw socket reads it.
std::vector<unsigned char> with_ip_header(std::vector<unsigned char> icmp, unsigned words = 5) {
    std::vector<unsigned char> packet(words * 4, 0);
    packet[0] = static_cast<unsigned char>(0x40 | words);
    packet[9] = IPPROTO_ICMP;
    packet.insert(packet.end(), icmp.begin(), icmp.end());
    return packet;
}

TEST(EchoRequestPacket, CarriesTypeIdentifierSequencePayloadAndAValidChecksum) {
    const std::vector<unsigned char> packet = echo_request_packet(REQUEST);
    ASSERT_EQ(packet.size(), 8u + 17u);
    EXPECT_EQ(packet[0], 8);
    EXPECT_EQ(packet[1], 0);
    EXPECT_EQ(packet[4], 0x12);
    EXPECT_EQ(packet[5], 0x34);
    EXPECT_EQ(packet[6], 0x01);
    EXPECT_EQ(packet[7], 0x02);
    EXPECT_EQ(std::string(packet.begin() + 8, packet.end()), "PING from Zendrix");
    // A packet with its checksum in place sums to all ones; the odd length pads the last byte with zero.
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < packet.size(); i += 2)
        sum += static_cast<std::uint32_t>(packet[i] << 8 | (i + 1 < packet.size() ? packet[i + 1] : 0));
    while (sum >> 16)
        sum = (sum & 0xffffu) + (sum >> 16);
    EXPECT_EQ(sum, 0xffffu);
}

// Raw sockets see every ICMP packet of the host, our own request included when the target is this
// host; datagram sockets see their own replies only, with the kernel's identifier in place of ours.
TEST(IsReplyTo, TakesOnlyTheReplyToThisRequest) {
    using enum IcmpSocketKind;
    const EchoRequest other_identifier{0x4321, REQUEST.sequence, REQUEST.payload};
    const EchoRequest other_sequence{REQUEST.identifier, 0x0201, REQUEST.payload};
    const EchoRequest other_payload{REQUEST.identifier, REQUEST.sequence, "PING from Zendriy"};
    std::vector<unsigned char> short_reply = reply_to(REQUEST);
    short_reply.pop_back();
    std::vector<unsigned char> unreachable = reply_to(REQUEST);
    unreachable[0] = 3;

    EXPECT_TRUE(is_reply_to(reply_to(REQUEST), REQUEST, datagram));
    EXPECT_TRUE(is_reply_to(reply_to(other_identifier), REQUEST, datagram));
    EXPECT_TRUE(is_reply_to(with_ip_header(reply_to(REQUEST)), REQUEST, raw));
    EXPECT_TRUE(is_reply_to(with_ip_header(reply_to(REQUEST), 6), REQUEST, raw)); // IP options
    EXPECT_FALSE(is_reply_to(with_ip_header(echo_request_packet(REQUEST)), REQUEST, raw));
    EXPECT_FALSE(is_reply_to(with_ip_header(reply_to(other_identifier)), REQUEST, raw));
    EXPECT_FALSE(is_reply_to(reply_to(REQUEST), REQUEST, raw)); // no IP header before it
    EXPECT_FALSE(is_reply_to(reply_to(other_sequence), REQUEST, datagram));
    EXPECT_FALSE(is_reply_to(reply_to(other_payload), REQUEST, datagram));
    EXPECT_FALSE(is_reply_to(short_reply, REQUEST, datagram));
    EXPECT_FALSE(is_reply_to(unreachable, REQUEST, datagram));
    EXPECT_FALSE(is_reply_to({}, REQUEST, datagram));
    EXPECT_FALSE(is_reply_to({}, REQUEST, raw));
}

// On loopback a raw socket reads our own request before the reply: it must be passed over. (The
// datagram socket is tested in own_network_posix_test.cpp: a new network namespace refuses it.)
TEST(SendEchoThrough, RawSocketOnLoopback) {
    EXPECT_GE(send_echo_through(IcmpSocketKind::raw, ip_from_bytes(127, 0, 0, 1), ECHO_PAYLOAD, LONG_TIMEOUT_MS), 0);
}

} // namespace
} // namespace lum
