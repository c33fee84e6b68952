// tests/fuzz/fuzz_accounting_packet.cpp: RADIUS accounting packets as sent, and attribute bytes signed right so
// that the reader gets past the authenticator to them.
#include <cstdint>
#include <string>
#include <string_view>

#include "server/radius/accounting_packet.h"
#include "tests/fuzz/fuzz_check.h"

namespace lum::fuzz {
namespace {

using namespace lumresults::radius;

constexpr std::string_view SECRET = "fuzzing-secret";

// The input as a whole packet: only the header's checks can be met by chance, and an answer needs a read.
void check_raw(std::string_view packet) {
    const ReadResult result = read_accounting_request(packet, SECRET);
    if (!result.request) return;
    require(packet.size() >= HEADER && packet.size() <= MAX_PACKET, "a read packet fits the limits");
    require(accounting_response(*result.request, SECRET).size() <= packet.size(), "a response is no longer than its request");
}

// The input as the attributes of a signed packet: the attribute walk decides alone, and a different secret
// or one changed byte is always refused at the authenticator.
void check_signed(std::string_view attributes) {
    if (HEADER + attributes.size() > MAX_PACKET) return;
    const std::string packet = signed_request(7, attributes, SECRET);
    const ReadResult read = read_accounting_request(packet, SECRET);
    require(read.request || read.fault == PacketFault::bad_attribute, "a signed packet fails only at an attribute");
    if (read.request) {
        require(read.request->identifier == 7, "the identifier is the header's");
        require(read.request->user_name.size() <= 253, "a text attribute fits its length octet");
        for (const std::string& prefix : read.request->ipv6_prefixes)
            require(prefix.find('/') != std::string::npos, "a prefix has its length");
    }
    require(read_accounting_request(packet, "other-secret").fault == PacketFault::bad_authenticator,
            "another secret is refused");
    if (attributes.empty()) return;
    std::string changed = packet;
    changed.back() = static_cast<char>(changed.back() ^ 1);
    require(!read_accounting_request(changed, SECRET).request, "a changed byte is refused");
}

} // namespace
} // namespace lum::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);
    lum::fuzz::check_raw(input);
    lum::fuzz::check_signed(input);
    return 0;
}
