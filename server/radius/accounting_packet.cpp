// server/radius/accounting_packet.cpp: the accounting packet's wire format: header, attributes, authenticators.
#include "server/radius/accounting_packet.h"

#include "server/net/ip_address.h"

#include <nettle/md5.h>

#include <array>

namespace lumresults::radius {
namespace {

using Digest = std::array<std::uint8_t, MD5_DIGEST_SIZE>;

// The attributes read, by number (RFC 2865, 2866, 2869, 3162, 4818).
enum Attribute : std::uint8_t {
    USER_NAME = 1,
    NAS_IP_ADDRESS = 4,
    FRAMED_IP_ADDRESS = 8,
    CALLING_STATION_ID = 31,
    NAS_IDENTIFIER = 32,
    PROXY_STATE = 33,
    ACCT_STATUS_TYPE = 40,
    ACCT_DELAY_TIME = 41,
    ACCT_SESSION_ID = 44,
    ACCT_TERMINATE_CAUSE = 49,
    EVENT_TIMESTAMP = 55,
    NAS_PORT_ID = 87,
    NAS_IPV6_ADDRESS = 95,
    FRAMED_IPV6_PREFIX = 97,
    DELEGATED_IPV6_PREFIX = 123,
};

// MD5 over the pieces in order, then the secret: both authenticators are made this way.
Digest md5_of(std::initializer_list<std::string_view> pieces) {
    md5_ctx context;
    md5_init(&context);
    for (const std::string_view piece : pieces)
        md5_update(&context, piece.size(), reinterpret_cast<const std::uint8_t*>(piece.data()));
    Digest digest;
    md5_digest(&context, digest.size(), digest.data());
    return digest;
}

std::string_view as_view(const Digest& digest) {
    return {reinterpret_cast<const char*>(digest.data()), digest.size()};
}

// Compared in full whatever differs first, so that the time taken says nothing of the secret.
bool same_bytes(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned differ = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        differ |= static_cast<unsigned char>(a[i]) ^ static_cast<unsigned char>(b[i]);
    return differ == 0;
}

std::uint32_t big_endian(std::string_view four) {
    std::uint32_t value = 0;
    for (const char byte : four)
        value = (value << 8) | static_cast<unsigned char>(byte);
    return value;
}

std::string ipv4_text(std::string_view four) {
    IpAddress address;
    address.bytes[10] = address.bytes[11] = 0xff;
    for (std::size_t i = 0; i < 4; ++i)
        address.bytes[12 + i] = static_cast<std::uint8_t>(four[i]);
    return format_address(address);
}

std::string ipv6_text(std::string_view sixteen) {
    IpAddress address;
    for (std::size_t i = 0; i < 16; ++i)
        address.bytes[i] = static_cast<std::uint8_t>(sixteen[i]);
    return format_address(address);
}

// RFC 3162 §2.3: a reserved octet, the prefix length, then as many octets of the prefix as it needs (up to
// 16). Bits past the length are cleared, so that one prefix always reads as one text.
std::optional<std::string> ipv6_prefix_text(std::string_view value) {
    if (value.size() < 2 || value.size() > 18) return std::nullopt;
    const unsigned length = static_cast<unsigned char>(value[1]);
    if (length > 128 || value.size() - 2 < (length + 7) / 8) return std::nullopt;
    IpAddress address;
    for (std::size_t i = 0; i + 2 < value.size(); ++i)
        address.bytes[i] = static_cast<std::uint8_t>(value[i + 2]);
    for (unsigned bit = length; bit < 128; ++bit)
        address.bytes[bit / 8] &= static_cast<std::uint8_t>(~(0x80u >> (bit % 8)));
    return ipv6_text({reinterpret_cast<const char*>(address.bytes.data()), 16}) + "/" + std::to_string(length);
}

// Takes one attribute into the request; false when its value has the wrong size for its type. A text
// attribute given twice keeps its first value; others are ignored.
bool take_attribute(AccountingRequest& request, std::uint8_t type, std::string_view value) {
    const auto text = [&](std::string& field) {
        if (field.empty()) field = value;
        return true;
    };
    const auto number = [&](auto& field) {
        if (value.size() != 4) return false;
        field = big_endian(value);
        return true;
    };
    switch (type) {
    case USER_NAME: return text(request.user_name);
    case ACCT_SESSION_ID: return text(request.session_id);
    case NAS_IDENTIFIER: return text(request.nas_identifier);
    case NAS_PORT_ID: return text(request.nas_port_id);
    case CALLING_STATION_ID: return text(request.calling_station_id);
    case PROXY_STATE: request.proxy_states.emplace_back(value); return true;
    case ACCT_STATUS_TYPE: return number(request.status);
    case ACCT_DELAY_TIME: return number(request.delay_time);
    case EVENT_TIMESTAMP: return number(request.event_timestamp);
    case ACCT_TERMINATE_CAUSE: return number(request.terminate_cause);
    case FRAMED_IP_ADDRESS:
        if (value.size() != 4) return false;
        if (request.framed_ip.empty()) request.framed_ip = ipv4_text(value);
        return true;
    case NAS_IP_ADDRESS:
        if (value.size() != 4) return false;
        request.nas_ip = ipv4_text(value); // preferred to NAS-IPv6-Address, in whichever order they come
        return true;
    case NAS_IPV6_ADDRESS:
        if (value.size() != 16) return false;
        if (request.nas_ip.empty()) request.nas_ip = ipv6_text(value);
        return true;
    case FRAMED_IPV6_PREFIX:
    case DELEGATED_IPV6_PREFIX: {
        std::optional<std::string> prefix = ipv6_prefix_text(value);
        if (!prefix) return false;
        request.ipv6_prefixes.push_back(std::move(*prefix));
        return true;
    }
    default: return true; // attributes this server does not use (Class, Acct-Session-Time, vendors' ...)
    }
}

// Walks the attributes: each a type, a length of at least 2 that covers itself, and its value.
bool take_attributes(AccountingRequest& request, std::string_view attributes) {
    while (!attributes.empty()) {
        if (attributes.size() < 2) return false;
        const std::size_t length = static_cast<unsigned char>(attributes[1]);
        if (length < 2 || length > attributes.size()) return false;
        if (!take_attribute(request, static_cast<std::uint8_t>(attributes[0]), attributes.substr(2, length - 2)))
            return false;
        attributes.remove_prefix(length);
    }
    return true;
}

constexpr std::string_view ZERO_AUTHENTICATOR{"\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 16};

std::string header(std::uint8_t code, std::uint8_t identifier, std::size_t length) {
    return {static_cast<char>(code), static_cast<char>(identifier), static_cast<char>(length >> 8),
            static_cast<char>(length & 0xff)};
}

} // namespace

const char* fault_name(PacketFault fault) {
    switch (fault) {
    case PacketFault::too_short: return "too_short";
    case PacketFault::too_long: return "too_long";
    case PacketFault::bad_length: return "bad_length";
    case PacketFault::not_accounting_request: return "not_accounting_request";
    case PacketFault::bad_attribute: return "bad_attribute";
    case PacketFault::bad_authenticator: break;
    }
    return "bad_authenticator";
}

ReadResult read_accounting_request(std::string_view packet, std::string_view secret) {
    if (packet.size() < HEADER) return {{}, PacketFault::too_short};
    if (packet.size() > MAX_PACKET) return {{}, PacketFault::too_long};
    const std::size_t length = (std::size_t{static_cast<unsigned char>(packet[2])} << 8) |
                               static_cast<unsigned char>(packet[3]);
    if (length < HEADER || length > MAX_PACKET || length > packet.size()) return {{}, PacketFault::bad_length};
    packet = packet.substr(0, length);
    if (static_cast<std::uint8_t>(packet[0]) != ACCOUNTING_REQUEST) return {{}, PacketFault::not_accounting_request};
    // The authenticator first: nothing of a packet that may be forged is read.
    const Digest expected = md5_of({packet.substr(0, 4), ZERO_AUTHENTICATOR, packet.substr(HEADER), secret});
    if (!same_bytes(as_view(expected), packet.substr(4, 16))) return {{}, PacketFault::bad_authenticator};
    AccountingRequest request;
    request.identifier = static_cast<std::uint8_t>(packet[1]);
    request.authenticator = packet.substr(4, 16);
    if (!take_attributes(request, packet.substr(HEADER))) return {{}, PacketFault::bad_attribute};
    return {std::move(request), {}};
}

std::string accounting_response(const AccountingRequest& request, std::string_view secret) {
    std::string attributes;
    for (const std::string& state : request.proxy_states)
        attributes += std::string{static_cast<char>(PROXY_STATE), static_cast<char>(state.size() + 2)} + state;
    const std::string head = header(ACCOUNTING_RESPONSE, request.identifier, HEADER + attributes.size());
    return head + std::string(as_view(md5_of({head, request.authenticator, attributes, secret}))) + attributes;
}

std::string make_accounting_request(std::uint8_t identifier,
                                    const std::vector<std::pair<std::uint8_t, std::string>>& attributes,
                                    std::string_view secret) {
    std::string body;
    for (const auto& [type, value] : attributes) {
        body += static_cast<char>(type);
        body += static_cast<char>(value.size() + 2);
        body += value;
    }
    return signed_request(identifier, body, secret);
}

std::string signed_request(std::uint8_t identifier, std::string_view attribute_bytes, std::string_view secret) {
    const std::string head = header(ACCOUNTING_REQUEST, identifier, HEADER + attribute_bytes.size());
    return head + std::string(as_view(md5_of({head, ZERO_AUTHENTICATOR, attribute_bytes, secret}))) +
           std::string(attribute_bytes);
}

} // namespace lumresults::radius
