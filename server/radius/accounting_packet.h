// server/radius/accounting_packet.h: RADIUS Accounting-Requests read and checked, Accounting-Responses written (RFC 2866).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumresults::radius {

// The largest packet RFC 2865 allows; anything longer is not read at all.
inline constexpr std::size_t MAX_PACKET = 4096;
inline constexpr std::size_t HEADER = 20;
inline constexpr std::uint8_t ACCOUNTING_REQUEST = 4;
inline constexpr std::uint8_t ACCOUNTING_RESPONSE = 5;

// Acct-Status-Type's values that change what is kept of sessions.
enum class AccountingStatus : std::uint32_t { start = 1, stop = 2, interim_update = 3, accounting_on = 7, accounting_off = 8 };

// What an Accounting-Request said, with outside bytes kept as bytes. Addresses are text (dotted IPv4,
// RFC 5952 IPv6, prefixes as "2001:db8:1::/56"); an attribute that is absent leaves its field empty.
struct AccountingRequest {
    std::uint8_t identifier = 0;
    std::string authenticator; // the request's 16 bytes, which the response's authenticator covers
    std::uint32_t status = 0;  // Acct-Status-Type as sent (see AccountingStatus); 0 when absent
    std::string user_name;
    std::string framed_ip;                  // Framed-IP-Address
    std::vector<std::string> ipv6_prefixes; // Framed-IPv6-Prefix and Delegated-IPv6-Prefix, in order
    std::string session_id;                 // Acct-Session-Id
    std::optional<std::uint32_t> event_timestamp; // Unix seconds
    std::uint32_t delay_time = 0;                 // Acct-Delay-Time: seconds the record waited before this send
    std::string nas_ip;                           // NAS-IP-Address, else NAS-IPv6-Address
    std::string nas_identifier;
    std::string nas_port_id;
    std::string calling_station_id;
    std::optional<std::uint32_t> terminate_cause;
    std::vector<std::string> proxy_states; // Proxy-State values, which the response carries back in order
};

// Why a packet was dropped (each is dropped silently, RFC 5080 §2.2.1, and counted).
enum class PacketFault { too_short, too_long, bad_length, not_accounting_request, bad_attribute, bad_authenticator };
const char* fault_name(PacketFault fault); // a fixed name for /metrics ("bad_authenticator")

// Reads `packet` as an Accounting-Request signed with `secret`. Octets past the header's length are padding
// and ignored (RFC 2865 §3); a packet shorter than its length, an attribute running past it, or a value of
// the wrong size for its attribute is refused, as is any authenticator but MD5(code, identifier, length,
// 16 zero octets, attributes, secret).
struct ReadResult {
    std::optional<AccountingRequest> request;
    PacketFault fault = PacketFault::too_short; // when request is empty
};
ReadResult read_accounting_request(std::string_view packet, std::string_view secret);

// The Accounting-Response to `request`, carrying back its Proxy-State attributes (RFC 2865 §5.33), a relay's
// own; its authenticator is MD5(code, identifier, length, the request's authenticator, attributes, secret).
std::string accounting_response(const AccountingRequest& request, std::string_view secret);

// An Accounting-Request of these attributes (type, value), its authenticator made with `secret`: what an
// access node sends, for tests and benchmarks. signed_request does the same for attribute bytes as they are
// (well formed or not), so that a fuzzer reaches the attribute walk.
std::string make_accounting_request(std::uint8_t identifier,
                                    const std::vector<std::pair<std::uint8_t, std::string>>& attributes,
                                    std::string_view secret);
std::string signed_request(std::uint8_t identifier, std::string_view attribute_bytes, std::string_view secret);

} // namespace lumresults::radius
