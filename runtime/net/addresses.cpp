// runtime/net/addresses.cpp: IPv4 address values built from numbers and dotted text, and the echo's refusals.
#include "runtime/net/addresses.h"

#include "runtime/net/net.h"
#include "runtime/text/text.h"

namespace lum {

// Plain additions, so that a number above 255 (or below 0) carries into the next byte, and the sum
// wraps modulo 2^32 as a 32-bit register would.
std::uint32_t ip_from_bytes(std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d) {
    const auto sum = static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b) * 256u +
                     static_cast<std::uint64_t>(c) * 65536u + static_cast<std::uint64_t>(d) * 16777216u;
    return static_cast<std::uint32_t>(sum);
}

std::array<unsigned char, 4> address_bytes(std::uint32_t address) {
    return {static_cast<unsigned char>(address & 0xffu), static_cast<unsigned char>((address >> 8) & 0xffu),
            static_cast<unsigned char>((address >> 16) & 0xffu), static_cast<unsigned char>(address >> 24)};
}

std::string dotted_text(const std::array<unsigned char, 4>& bytes) {
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
           std::to_string(bytes[3]);
}

std::uint32_t address_from_dotted(std::string_view text) {
    return ip_from_bytes(parse_integer(split_field(text, 1, ".")), parse_integer(split_field(text, 2, ".")),
                         parse_integer(split_field(text, 3, ".")), parse_integer(split_field(text, 4, ".")));
}

// 0 is what an empty or failed lookup gives, and 255.255.255.255 is the broadcast address.
// 254.255.255.255 is refused with them because, read as a signed number, it is -2: the no-address result.
bool address_is_usable(std::uint32_t address) {
    const auto value = static_cast<std::int32_t>(address);
    return value != 0 && value != -1 && value != ECHO_NO_ADDRESS;
}

} // namespace lum
