// tests/server/caller_address_test.cpp: address text both ways, proxy ranges, and whose request it is.
#include "server/http/caller_address.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace lumresults {
namespace {

IpAddress address(std::string_view text) {
    const std::optional<IpAddress> parsed = parse_address(text);
    EXPECT_TRUE(parsed) << text;
    return parsed.value_or(IpAddress{});
}

TEST(ParseAddress, ReadsStrictTextAndFormatsItTheCanonicalWay) {
    struct Case {
        std::string_view text;
        std::string_view formatted;
    };
    constexpr Case cases[] = {
        {"0.0.0.0", "0.0.0.0"},
        {"255.255.255.255", "255.255.255.255"},
        {"192.0.2.10", "192.0.2.10"},
        {"::", "::"},
        {"::1", "::1"},
        {"2001:DB8:0000:0000:0000:0000:0000:0001", "2001:db8::1"},
        {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},    // equal runs: the first is shortened
        {"2001:0:0:1:0:0:0:1", "2001:0:0:1::1"},          // the longest run is shortened
        {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1"}, // a single zero group stays
        {"1:2:3:4:5:6:7::", "1:2:3:4:5:6:7:0"},
        {"::2:3:4:5:6:7:8", "0:2:3:4:5:6:7:8"},
        {"fe80::", "fe80::"},
        {"::ffff:192.0.2.1", "192.0.2.1"}, // IPv4-mapped reads as IPv4
        {"::FFFF:c000:0201", "192.0.2.1"},
        {"::192.0.2.1", "::c000:201"},
        {"64:ff9b::192.0.2.1", "64:ff9b::c000:201"},
        {"1:2:3:4:5:6:0.0.0.1", "1:2:3:4:5:6:0:1"},
    };
    for (const Case& c : cases) {
        const std::optional<IpAddress> parsed = parse_address(c.text);
        ASSERT_TRUE(parsed) << c.text;
        EXPECT_EQ(format_address(*parsed), c.formatted) << c.text;
        EXPECT_EQ(parse_address(format_address(*parsed)), parsed) << c.text;
    }
    EXPECT_TRUE(address("192.0.2.1").is_v4());
    EXPECT_FALSE(address("::c000:201").is_v4());
}

TEST(ParseAddress, RefusesAnythingLoose) {
    constexpr std::string_view refused[] = {
        "",
        "1.2.3",
        "1.2.3.4.5",
        "01.2.3.4",
        "1.2.3.00",
        "1.2.3.256",
        " 1.2.3.4",
        "1.2.3.4 ",
        "1..3.4",
        "1.2.3.",
        "0x1.2.3.4",
        "+1.2.3.4",
        "1.2.3.-4",
        "1.2.3.4:80",
        ":::",
        "1:::2",
        "1::2::3",
        ":1::2",
        "1::2:",
        "1:2:3:4:5:6:7",
        "1:2:3:4:5:6:7:8:9",
        "1:2:3:4:5:6:7:8::",
        "::1:2:3:4:5:6:7:8",
        "12345::",
        "g::",
        "::ffff:1.2.3.04",
        "::1.2.3",
        "1.2.3.4::",
        "1:2:3:4:5:6:7:1.2.3.4",
        "::1.2.3.4:5",
        "[::1]",
        "::1%eth0",
        "fe80::1/64",
        "unknown",
    };
    for (const std::string_view text : refused)
        EXPECT_FALSE(parse_address(text)) << text;
    EXPECT_FALSE(parse_address(std::string_view("1.2.3.4\0", 8)));
}

TEST(AddressOf, TakesIPv4AndIPv6PeersAndNothingElse) {
    sockaddr_in v4{};
    v4.sin_family = AF_INET;
    v4.sin_addr.s_addr = htonl(0xc0000201);
    EXPECT_EQ(address_of(reinterpret_cast<const sockaddr*>(&v4)), address("192.0.2.1"));

    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    v6.sin6_addr = in6addr_loopback;
    EXPECT_EQ(address_of(reinterpret_cast<const sockaddr*>(&v6)), address("::1"));
    // A dual-stack socket reports IPv4 peers mapped: they must compare equal to the plain IPv4 form.
    const std::uint8_t mapped[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 192, 0, 2, 1};
    std::memcpy(&v6.sin6_addr, mapped, 16);
    EXPECT_EQ(address_of(reinterpret_cast<const sockaddr*>(&v6)), address("192.0.2.1"));

    sockaddr_un local{};
    local.sun_family = AF_UNIX;
    EXPECT_FALSE(address_of(reinterpret_cast<const sockaddr*>(&local)));
    EXPECT_FALSE(address_of(nullptr));
}

TEST(Cidr, ContainsExactlyItsRange) {
    struct Case {
        std::string_view range;
        std::string_view address;
        bool contained;
    };
    constexpr Case cases[] = {
        {"10.0.0.0/8", "10.255.1.1", true},
        {"10.0.0.0/8", "11.0.0.0", false},
        {"10.0.0.0/8", "::ffff:10.0.0.1", true},
        {"10.0.0.0/8", "a00::1", false}, // same leading bits, but IPv6
        {"0.0.0.0/0", "::1", false},     // an IPv4 range never takes in IPv6
        {"0.0.0.0/0", "203.0.113.5", true},
        {"::/0", "203.0.113.5", true},
        {"192.0.2.0/25", "192.0.2.127", true},
        {"192.0.2.0/25", "192.0.2.128", false},
        {"10.1.2.3/8", "10.9.9.9", true}, // host bits written by mistake are dropped
        {"192.0.2.7", "192.0.2.7", true}, // a bare address is one host
        {"192.0.2.7", "192.0.2.6", false},
        {"192.0.2.7/32", "192.0.2.6", false},
        {"2001:db8::/32", "2001:db8:ffff::1", true},
        {"2001:db8::/32", "2001:db9::", false},
        {"2001:db8::/127", "2001:db8::1", true},
        {"2001:db8::/127", "2001:db8::2", false},
    };
    for (const Case& c : cases) {
        const std::optional<Cidr> range = parse_cidr(c.range);
        ASSERT_TRUE(range) << c.range;
        EXPECT_EQ(range->contains(address(c.address)), c.contained) << c.range << " " << c.address;
    }
    constexpr std::string_view refused[] = {"10.0.0.0/33",  "10.0.0.0/",   "10.0.0.0/08", "/8",       "::/129",
                                            "10.0.0.0/8/8", "10.0.0.0/-1", "10.0.0.0/ 8", "10.0.0/8", ""};
    for (const std::string_view text : refused)
        EXPECT_FALSE(parse_cidr(text)) << text;
}

TEST(DecideCaller, BelievesForwardedForOnlyAsFarAsTrustedProxiesVouch) {
    const std::vector<Cidr> trusted = {*parse_cidr("10.0.0.0/8"), *parse_cidr("2001:db8:ffff::/48")};
    struct Case {
        std::string_view peer;
        std::optional<std::string_view> forwarded_for;
        std::string_view caller;
    };
    const Case cases[] = {
        {"192.0.2.1", "198.51.100.7", "192.0.2.1"}, // an untrusted peer names itself only
        {"10.0.0.1", std::nullopt, "10.0.0.1"},
        {"10.0.0.1", "", "10.0.0.1"},
        {"10.0.0.1", "198.51.100.7", "198.51.100.7"},
        {"10.0.0.1", "203.0.113.9, 198.51.100.7", "198.51.100.7"}, // the left is the client's own say
        {"10.0.0.1", "198.51.100.7, 10.0.0.2", "198.51.100.7"},
        {"10.0.0.1", "10.0.0.3, 10.0.0.2", "10.0.0.3"}, // every hop trusted: the left-most
        {"10.0.0.1", "198.51.100.7, unknown, 10.0.0.2", "10.0.0.2"},
        {"10.0.0.1", "198.51.100.7, unknown", "10.0.0.1"},
        {"10.0.0.1", "198.51.100.7,,10.0.0.2", "10.0.0.2"},
        {"10.0.0.1", "198.51.100.7, 10.0.0.2, ", "10.0.0.1"},
        {"10.0.0.1", " \t198.51.100.7\t,\t10.0.0.2 ", "198.51.100.7"},
        {"10.0.0.1", "198.51.100.7:4711", "198.51.100.7"},
        {"10.0.0.1", "[2001:db8::7]:443", "2001:db8::7"},
        {"10.0.0.1", "[2001:db8::7]", "2001:db8::7"},
        {"10.0.0.1", "2001:DB8::7", "2001:db8::7"},
        {"10.0.0.1", "198.51.100.7:99999", "10.0.0.1"},
        {"10.0.0.1", "198.51.100.7:", "10.0.0.1"},
        {"10.0.0.1", "[2001:db8::7]x", "10.0.0.1"},
        {"10.0.0.1", "[198.51.100.7]", "10.0.0.1"},
        {"10.0.0.1", "fe80::1%eth0", "10.0.0.1"},
        {"10.0.0.1", "\"198.51.100.7\"", "10.0.0.1"},
        {"10.0.0.1", "198.51.100.7, 2001:db8:ffff::5", "198.51.100.7"},
        {"2001:db8:ffff::1", "::ffff:198.51.100.7", "198.51.100.7"},
        {"::ffff:10.0.0.1", "198.51.100.7", "198.51.100.7"},
    };
    for (const Case& c : cases) {
        const IpAddress caller = decide_caller(address(c.peer), c.forwarded_for, trusted);
        EXPECT_EQ(format_address(caller), c.caller) << c.peer << " / " << c.forwarded_for.value_or("(none)");
    }
    EXPECT_EQ(format_address(decide_caller(address("10.0.0.1"), "198.51.100.7", {})), "10.0.0.1");
}

} // namespace
} // namespace lumresults
