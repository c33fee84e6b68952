// tests/server/accounting_packet_test.cpp: the accounting packet's reader and writer over good, forged and broken packets.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "server/radius/accounting_packet.h"

namespace lumresults::radius {
namespace {

using Attributes = std::vector<std::pair<std::uint8_t, std::string>>;

std::string four(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
            static_cast<char>(value)};
}

// A Start as an access node sends it, with every attribute the server reads.
const Attributes START = {
    {1, "alice@isp"},
    {40, four(1)},
    {44, "S-0001"},
    {8, std::string("\x64\x40\x01\x02", 4)},
    {97, std::string("\x00\x40\x20\x01\x0d\xb8\x00\x01\x00\x02", 10)},
    {123, std::string("\x00\x38\x20\x01\x0d\xb8\xaa\xbb\xcc\xff", 10)}, // bits past /56 set: cleared
    {55, four(1765000000)},
    {41, four(3)},
    {4, std::string("\xc0\x00\x02\x01", 4)},
    {32, "bng-east"},
    {87, "eth0/1/2:100"},
    {31, "00-11-22-33-44-55"},
    {49, four(1)},
    {25, "class is ignored"},
};

TEST(AccountingPacket, ReadsEveryAttributeOfAGoodPacket) {
    const ReadResult read = read_accounting_request(make_accounting_request(42, START, "s3cret"), "s3cret");
    ASSERT_TRUE(read.request);
    const AccountingRequest& request = *read.request;
    EXPECT_EQ(request.identifier, 42);
    EXPECT_EQ(request.user_name, "alice@isp");
    EXPECT_EQ(request.status, 1u);
    EXPECT_EQ(request.session_id, "S-0001");
    EXPECT_EQ(request.framed_ip, "100.64.1.2");
    EXPECT_EQ(request.ipv6_prefixes, (std::vector<std::string>{"2001:db8:1:2::/64", "2001:db8:aabb:cc00::/56"}));
    EXPECT_EQ(request.event_timestamp, 1765000000u);
    EXPECT_EQ(request.delay_time, 3u);
    EXPECT_EQ(request.nas_ip, "192.0.2.1");
    EXPECT_EQ(request.nas_identifier, "bng-east");
    EXPECT_EQ(request.nas_port_id, "eth0/1/2:100");
    EXPECT_EQ(request.calling_station_id, "00-11-22-33-44-55");
    EXPECT_EQ(request.terminate_cause, 1u);
}

// The response's authenticator, worked out by hand from RFC 2866 §3 for a fixed request.
TEST(AccountingPacket, ResponseSignsOverTheRequestAuthenticator) {
    const std::string packet = make_accounting_request(9, {{40, four(3)}}, "xyzzy");
    const ReadResult read = read_accounting_request(packet, "xyzzy");
    ASSERT_TRUE(read.request);
    const std::string response = accounting_response(*read.request, "xyzzy");
    ASSERT_EQ(response.size(), HEADER);
    EXPECT_EQ(response.substr(0, 4), std::string("\x05\x09\x00\x14", 4));
    EXPECT_NE(response.substr(4), packet.substr(4, 16));
    EXPECT_NE(response, accounting_response(*read.request, "other"));
}

// A relay's Proxy-State comes back in order, under the response's authenticator.
TEST(AccountingPacket, ResponseCarriesProxyStateBack) {
    const std::string packet = make_accounting_request(9, {{33, "relay-1"}, {40, four(3)}, {33, "r2"}}, "xyzzy");
    const ReadResult read = read_accounting_request(packet, "xyzzy");
    ASSERT_TRUE(read.request);
    const std::string response = accounting_response(*read.request, "xyzzy");
    EXPECT_EQ(response.substr(2, 2), std::string("\x00\x21", 2));
    EXPECT_EQ(response.substr(HEADER), std::string("\x21\x09relay-1\x21\x04r2", 13));
}

struct Broken {
    const char* name;
    std::string packet;
    PacketFault fault;
};

std::string with_length(std::string packet, std::size_t length) {
    packet[2] = static_cast<char>(length >> 8);
    packet[3] = static_cast<char>(length & 0xff);
    return packet;
}

TEST(AccountingPacket, RefusesForgedAndBrokenPackets) {
    const std::string good = make_accounting_request(1, START, "s3cret");
    std::string access_request = signed_request(1, "", "s3cret");
    access_request[0] = 1;
    const std::vector<Broken> cases = {
        {"wrong secret", make_accounting_request(1, START, "guess"), PacketFault::bad_authenticator},
        {"changed attribute", good.substr(0, good.size() - 1) + "X", PacketFault::bad_authenticator},
        {"truncated header", good.substr(0, 19), PacketFault::too_short},
        {"truncated body", good.substr(0, good.size() - 3), PacketFault::bad_length},
        {"length under the header", with_length(good, 19), PacketFault::bad_length},
        {"length past the limit", with_length(good, 5000), PacketFault::bad_length},
        {"datagram past the limit", good + std::string(MAX_PACKET, '\0'), PacketFault::too_long},
        {"not an accounting request", access_request, PacketFault::not_accounting_request},
        {"attribute past the end", signed_request(1, std::string("\x01\x09" "abc", 5), "s3cret"),
         PacketFault::bad_attribute},
        {"attribute length 1", signed_request(1, std::string("\x01\x01", 2), "s3cret"), PacketFault::bad_attribute},
        {"lone type octet", signed_request(1, std::string("\x01", 1), "s3cret"), PacketFault::bad_attribute},
        {"address of 3 octets", make_accounting_request(1, {{8, "abc"}}, "s3cret"), PacketFault::bad_attribute},
        {"number of 2 octets", make_accounting_request(1, {{40, "ab"}}, "s3cret"), PacketFault::bad_attribute},
        {"prefix longer than 128", make_accounting_request(1, {{97, std::string("\x00\x81", 2)}}, "s3cret"),
         PacketFault::bad_attribute},
        {"prefix shorter than its length", make_accounting_request(1, {{97, std::string("\x00\x40\x20\x01", 4)}}, "s3cret"),
         PacketFault::bad_attribute},
    };
    for (const Broken& broken : cases) {
        const ReadResult read = read_accounting_request(broken.packet, "s3cret");
        EXPECT_FALSE(read.request) << broken.name;
        EXPECT_EQ(fault_name(read.fault), std::string(fault_name(broken.fault))) << broken.name;
    }
}

// Octets past the header's length are padding (RFC 2865 §3) and outside the authenticator.
TEST(AccountingPacket, IgnoresPaddingPastTheLength) {
    const ReadResult read = read_accounting_request(make_accounting_request(1, START, "s") + "pad", "s");
    ASSERT_TRUE(read.request);
    EXPECT_EQ(read.request->user_name, "alice@isp");
}

} // namespace
} // namespace lumresults::radius
