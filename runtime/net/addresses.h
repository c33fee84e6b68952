// runtime/net/addresses.h: IPv4 address values, their dotted text, and which of them the echo refuses.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace lum {

// An address value keeps the address in network byte order as it lies in memory: its lowest byte is
// the first number of the dotted text (see ip_from_bytes in net.h).

// The four bytes of an address value, first number first, ready to copy into a socket address.
std::array<unsigned char, 4> address_bytes(std::uint32_t address);

// The four bytes joined by ".", each as an unsigned decimal number from 0 to 255: "198.51.100.200".
std::string dotted_text(const std::array<unsigned char, 4>& bytes);

// The address value of a dotted text: fields 1 to 4 cut at ".", each read as an integer (a missing or
// non-numeric field is 0) and combined by ip_from_bytes, so a field above 255 carries.
std::uint32_t address_from_dotted(std::string_view text);

// False for the values the echo never sends to: 0 (what an empty or failed lookup gives),
// 255.255.255.255 and 254.255.255.255 (read as signed numbers, -1 and -2).
bool address_is_usable(std::uint32_t address);

} // namespace lum
