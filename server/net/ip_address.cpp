// server/net/ip_address.cpp: address text both ways, networks, and an address's blocks.
// Parsing is by hand and strict (what inet_pton takes, no more), because the same text decides which
// subscriber a report belongs to and must not be read two ways.
#include "server/net/ip_address.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>


namespace lumresults {
namespace {

constexpr std::array<std::uint8_t, 12> V4_MAPPED_PREFIX = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int hex_value(char c) {
    if (is_digit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A decimal number of 1 to `max_digits` digits without a leading zero, at most `limit`.
std::optional<unsigned> parse_decimal(std::string_view text, std::size_t max_digits, unsigned limit) {
    if (text.empty() || text.size() > max_digits || (text.size() > 1 && text[0] == '0')) return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        if (!is_digit(c)) return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > limit) return std::nullopt;
    return value;
}

// Four dotted decimal parts into out[0..3].
bool parse_v4(std::string_view text, std::uint8_t* out) {
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = part < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos) return false;
        const std::optional<unsigned> value = parse_decimal(text.substr(0, dot), 3, 255);
        if (!value) return false;
        out[part] = static_cast<std::uint8_t>(*value);
        text.remove_prefix(dot == text.size() ? dot : dot + 1);
    }
    return true;
}

// Up to 16 bytes, filled from the front: one side of "::".
struct Half {
    std::array<std::uint8_t, 16> bytes{};
    std::size_t size = 0;
};

// The 16-bit groups of one side of "::" (may be empty); the last group of the text may be dotted IPv4.
std::optional<Half> parse_v6_groups(std::string_view text, bool may_end_in_v4) {
    Half half;
    while (!text.empty()) {
        const std::size_t colon = text.find(':');
        const std::string_view group = text.substr(0, colon);
        if (colon == std::string_view::npos && may_end_in_v4 && group.find('.') != std::string_view::npos) {
            if (half.size > 12 || !parse_v4(group, half.bytes.data() + half.size)) return std::nullopt;
            half.size += 4;
            return half;
        }
        if (group.empty() || group.size() > 4 || half.size == 16) return std::nullopt;
        unsigned value = 0;
        for (const char c : group) {
            const int digit = hex_value(c);
            if (digit < 0) return std::nullopt;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        half.bytes[half.size++] = static_cast<std::uint8_t>(value >> 8);
        half.bytes[half.size++] = static_cast<std::uint8_t>(value);
        if (colon == std::string_view::npos) break;
        text.remove_prefix(colon + 1);
        if (text.empty()) return std::nullopt; // a single colon at the end
    }
    return half;
}

std::optional<IpAddress> parse_v6(std::string_view text) {
    const std::size_t gap = text.find("::");
    const bool has_gap = gap != std::string_view::npos;
    const std::string_view head = has_gap ? text.substr(0, gap) : text;
    const std::string_view tail = has_gap ? text.substr(gap + 2) : std::string_view{};
    if (has_gap && tail.find("::") != std::string_view::npos) return std::nullopt;
    const std::optional<Half> front = parse_v6_groups(head, !has_gap);
    const std::optional<Half> back = parse_v6_groups(tail, true);
    if (!front || !back) return std::nullopt;
    const std::size_t given = front->size + back->size;
    // "::" stands for at least one zero group; without it all eight groups are spelled out.
    if (has_gap ? given > 14 : given != 16) return std::nullopt;
    IpAddress address;
    std::copy_n(front->bytes.begin(), front->size, address.bytes.begin());
    std::copy_n(back->bytes.begin(), back->size, address.bytes.end() - static_cast<std::ptrdiff_t>(back->size));
    return address;
}

IpAddress mapped_v4(const std::uint8_t* four) {
    IpAddress address;
    std::copy(V4_MAPPED_PREFIX.begin(), V4_MAPPED_PREFIX.end(), address.bytes.begin());
    std::copy(four, four + 4, address.bytes.begin() + 12);
    return address;
}

// The longest run of two or more zero groups, the first of equal runs: {start, length}, length 0 if none.
std::pair<int, int> longest_zero_run(const std::array<unsigned, 8>& groups) {
    std::pair<int, int> best{0, 0};
    for (int start = 0; start < 8;) {
        int end = start;
        while (end < 8 && groups[end] == 0)
            ++end;
        if (end - start > best.second && end - start >= 2) best = {start, end - start};
        start = end == start ? start + 1 : end;
    }
    return best;
}

std::string format_v6(const IpAddress& address) {
    std::array<unsigned, 8> groups;
    for (std::size_t i = 0; i < 8; ++i)
        groups[i] = unsigned{address.bytes[2 * i]} << 8 | address.bytes[2 * i + 1];
    const auto [gap, gap_length] = longest_zero_run(groups);
    constexpr std::string_view DIGITS = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 8; ++i) {
        if (gap_length > 0 && i == gap) {
            text += "::";
            i += gap_length - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':') text += ':';
        bool started = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const unsigned digit = (groups[i] >> shift) & 0xf;
            started = started || digit != 0 || shift == 0;
            if (started) text += DIGITS[digit];
        }
    }
    return text;
}

bool is_port(std::string_view text) { return parse_decimal(text, 5, 65535).has_value(); }

} // namespace

bool IpAddress::is_v4() const { return std::equal(V4_MAPPED_PREFIX.begin(), V4_MAPPED_PREFIX.end(), bytes.begin()); }

std::string format_address(const IpAddress& address) {
    if (!address.is_v4()) return format_v6(address);
    // Digit by digit: every request's log line and every public-address answer writes one, and the text
    // (15 characters at most) stays within the string's own buffer.
    std::string text;
    for (std::size_t i = 12; i < 16; ++i) {
        if (i > 12) text += '.';
        const unsigned part = address.bytes[i];
        if (part >= 100) text += static_cast<char>('0' + part / 100);
        if (part >= 10) text += static_cast<char>('0' + part / 10 % 10);
        text += static_cast<char>('0' + part % 10);
    }
    return text;
}

std::optional<IpAddress> parse_address(std::string_view text) {
    if (text.find(':') != std::string_view::npos) return parse_v6(text);
    std::array<std::uint8_t, 4> four;
    if (!parse_v4(text, four.data())) return std::nullopt;
    return mapped_v4(four.data());
}

std::optional<IpAddress> address_of(const sockaddr* peer) {
    if (peer == nullptr) return std::nullopt;
    if (peer->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(peer);
        std::array<std::uint8_t, 4> four;
        std::memcpy(four.data(), &v4->sin_addr, 4);
        return mapped_v4(four.data());
    }
    if (peer->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(peer);
        IpAddress address;
        std::memcpy(address.bytes.data(), &v6->sin6_addr, 16);
        return address;
    }
    return std::nullopt;
}

bool Cidr::contains(const IpAddress& address) const {
    for (unsigned bit = 0; bit < prefix && bit < 128; bit += 8) {
        const unsigned bits = std::min(8u, prefix - bit);
        const auto mask = static_cast<std::uint8_t>(0xff00u >> bits);
        if ((address.bytes[bit / 8] & mask) != (network.bytes[bit / 8] & mask)) return false;
    }
    return true;
}

std::optional<Cidr> parse_cidr(std::string_view text) {
    const std::size_t slash = text.find('/');
    const std::optional<IpAddress> network = parse_address(text.substr(0, slash));
    if (!network) return std::nullopt;
    // An IPv4 prefix counts the 96 bits of the mapped form's fixed head too, so that it never takes in IPv6.
    const bool v4_text = text.substr(0, slash).find(':') == std::string_view::npos;
    const unsigned head_bits = v4_text ? 96 : 0;
    if (slash == std::string_view::npos) return Cidr{*network, 128};
    const std::optional<unsigned> bits = parse_decimal(text.substr(slash + 1), 3, 128 - head_bits);
    if (!bits) return std::nullopt;
    Cidr range{*network, head_bits + *bits};
    // Host bits written by mistake ("10.1.2.3/8") are cleared, so that the range reads as what it covers.
    for (unsigned bit = range.prefix; bit < 128; ++bit) {
        range.network.bytes[bit / 8] &= static_cast<std::uint8_t>(~(0x80u >> (bit % 8)));
    }
    return range;
}

std::optional<IpAddress> parse_address_with_port(std::string_view entry) {
    if (!entry.empty() && entry.front() == '[') {
        const std::size_t close = entry.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        const std::string_view after = entry.substr(close + 1);
        if (!after.empty() && !(after.front() == ':' && is_port(after.substr(1)))) return std::nullopt;
        const std::string_view inside = entry.substr(1, close - 1);
        if (inside.find(':') == std::string_view::npos) return std::nullopt;
        return parse_v6(inside);
    }
    const std::size_t colon = entry.find(':');
    if (colon != std::string_view::npos && entry.find(':', colon + 1) == std::string_view::npos) {
        std::array<std::uint8_t, 4> four;
        if (!is_port(entry.substr(colon + 1)) || !parse_v4(entry.substr(0, colon), four.data())) return std::nullopt;
        return mapped_v4(four.data());
    }
    return parse_address(entry);
}

namespace {

// The address's first `bits` (counted on an IPv4 address's own 32) as CIDR text.
std::string network_text(IpAddress address, unsigned bits) {
    const unsigned prefix = address.is_v4() ? 96 + bits : bits;
    for (unsigned bit = prefix; bit < 128; ++bit)
        address.bytes[bit / 8] &= static_cast<std::uint8_t>(~(0x80u >> (bit % 8)));
    return format_address(address) + "/" + std::to_string(bits);
}

} // namespace

std::vector<std::string> address_blocks(std::string_view caller) {
    const std::optional<IpAddress> address = parse_address(caller);
    if (!address) return {};
    if (!address->is_v4()) return {network_text(*address, 48)};
    return {network_text(*address, 24), network_text(*address, 16)};
}

} // namespace lumresults
