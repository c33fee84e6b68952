// tests/testrun/startup_check_test.cpp: the public-address scan, the customer check and the multicast exclusions.
#include <gtest/gtest.h>

#include "testrun/startup_check.h"

namespace lum {
namespace {

TEST(PublicAddress, ComesFromTheAddressLineBeforeAnyNetworkLine) {
    const struct {
        const char* header;
        const char* address;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nClient-IP-Address: 100.102.3.4\r\nServer: x\r\n\r\n", "100.102.3.4"},
        {"HTTP/1.1 200 OK\r\nNetwork: lumora\r\nClient-IP-Address: 100.102.3.4\r\n\r\n", ""},
        {"HTTP/1.1 200 OK\r\nClient-IP-Address: 100.100.1.1\r\nClient-IP-Address: 100.102.3.4\r\n\r\n", "100.102.3.4"},
        {"HTTP/1.1 200 OK\r\nClient-IP-Address:  100.102.3.4\r\n\r\n", ""}, // two blanks: empty field
        {"HTTP/1.1 200 OK\r\nClient-IP-Address: 100.102.3.4 Network\r\nX: y\r\n\r\n", "100.102.3.4"}, // both words
        {"HTTP/1.1 200 OK\r\nClient-IP-Address: 100.102.3.4 extra\r\n\r\n", "100.102.3.4"},
        {"HTTP/1.1 200 OK\r\nclient-ip-address: 100.102.3.4\r\n\r\n", ""}, // case counts
        // Lines after the first start with their LF, so the header's own empty line is not empty:
        // only the end of the text ends the scan.
        {"HTTP/1.1 200 OK\r\n\r\nClient-IP-Address: 100.102.3.4\r\n", "100.102.3.4"},
        {"HTTP/1.1 200 OK\r\nClient-IP-Address: 100.102.3.4 Network\r\nNetwork: x\r\nClient-IP-Address: 1.2.3.4\r\n",
         "100.102.3.4"},
        {"Client-IP-Address: 100.102.3.4", "100.102.3.4"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(public_address_from(c.header), c.address) << c.header;
}

TEST(CustomerCheck, EachBlockIsComparedOverItsOwnLength) {
    const struct {
        const char* address;
        bool customer;
    } cases[] = {
        {"100.100.1.2", true},     {"100.65.1.2", true},
        {"100.101.1.2", true},     {"100.102.0.10", true},
        {"100.103.1.2", true},     {"100.104.1.2", true},
        {"100.66.1.2", true},      {"100.650.1.2", false},
        {"100.6.1.2", false},      {"100.105.1.2", false},
        {"10.100.1.2", false},     {"100.65", false},
        {"100.65.", true},         {"", false},
        {"198.51.100.200", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(is_customer_address(c.address), c.customer) << c.address;
}

TEST(MulticastExclusion, MarksExactlyTheTwoBlocks) {
    const struct {
        const char* address;
        std::int32_t a;
        std::int32_t b;
    } cases[] = {
        {"100.65.3.4", 1, 0},  {"100.104.3.4", 0, 1}, {"100.102.3.4", 0, 0},
        {"100.100.3.4", 0, 0}, {"100.66.3.4", 0, 0},  {"100.6", 0, 0},
    };
    for (const auto& c : cases) {
        RunState state = make_run_state();
        state.PublicIp = c.address;
        set_multicast_exclusions(state);
        EXPECT_EQ(state.SkipMulticastA, c.a) << c.address;
        EXPECT_EQ(state.SkipMulticastB, c.b) << c.address;
    }
}

} // namespace
} // namespace lum
