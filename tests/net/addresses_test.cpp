// tests/net/addresses_test.cpp: address values from numbers and dotted text, their bytes, and the refused values.
#include "runtime/net/addresses.h"
#include "runtime/net/net.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

namespace lum {
namespace {

TEST(IpFromBytes, PutsTheFirstNumberInTheLowestByteAndCarries) {
    struct Case {
        std::int64_t a, b, c, d;
        std::uint32_t value;
    };
    constexpr Case cases[] = {
        {127, 0, 0, 1, 0x0100007fu},
        {198, 51, 100, 200, 0xc86433c6u}, // bytes above 127 stay unsigned
        {255, 255, 255, 255, 0xffffffffu},
        {256, 0, 0, 0, 0x00000100u},       // carries into the second byte
        {0, 256, 255, 0, 0x01000000u},     // a carry that ripples through two bytes
        {255, 255, 255, 256, 0x00ffffffu}, // the carry out of the top byte is lost
        {0, 0, 0, 0, 0u},
        {-1, 0, 0, 0, 0xffffffffu}, // negative numbers borrow, modulo 2^32
        {1, 2, 3, 4, 0x04030201u},
        {0, 0, 65536, 0, 0u}, // 65536 * 65536 is 2^32
    };
    for (const Case& c : cases)
        EXPECT_EQ(ip_from_bytes(c.a, c.b, c.c, c.d), c.value) << c.a << "." << c.b << "." << c.c << "." << c.d;
}

TEST(AddressFromDotted, ReadsFourFieldsMissingOrNonNumericAsZero) {
    struct Case {
        std::string_view text;
        std::uint32_t value;
    };
    constexpr Case cases[] = {
        {"127.0.0.1", 0x0100007fu},
        {"198.51.100.200", 0xc86433c6u},
        {"", 0u},
        {"10.1", 0x0000010au},      // missing fields count as 0
        {"a.b.c.d", 0u},            // and so do fields that are no numbers
        {"1.2.3.4.5", 0x04030201u}, // a fifth field is not read
        {"300.0.0.0", 0x0000012cu}, // a field above 255 carries
    };
    for (const Case& c : cases)
        EXPECT_EQ(address_from_dotted(c.text), c.value) << c.text;
}

TEST(AddressBytes, GivesTheDottedNumbersInOrderAndBack) {
    const auto bytes = address_bytes(ip_from_bytes(198, 51, 100, 200));
    EXPECT_EQ(bytes[0], 198);
    EXPECT_EQ(bytes[3], 200);
    EXPECT_EQ(dotted_text(bytes), "198.51.100.200");
    EXPECT_EQ(dotted_text({255, 0, 128, 9}), "255.0.128.9");
}

TEST(AddressIsUsable, RefusesZeroAndTheTwoValuesThatReadAsResultCodes) {
    EXPECT_FALSE(address_is_usable(address_from_dotted("0.0.0.0")));
    EXPECT_FALSE(address_is_usable(address_from_dotted("255.255.255.255")));
    EXPECT_FALSE(address_is_usable(address_from_dotted("254.255.255.255")));
    EXPECT_TRUE(address_is_usable(address_from_dotted("253.255.255.255")));
    EXPECT_TRUE(address_is_usable(address_from_dotted("255.255.255.254")));
    EXPECT_TRUE(address_is_usable(address_from_dotted("127.0.0.1")));
    EXPECT_TRUE(address_is_usable(address_from_dotted("0.0.0.1")));
}

} // namespace
} // namespace lum
