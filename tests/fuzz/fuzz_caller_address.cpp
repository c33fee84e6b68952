// tests/fuzz/fuzz_caller_address.cpp: address text against the C library's reading and writing of it, and the
// caller decision against a plain walk over the forwarded-for entries.
#include <fuzzer/FuzzedDataProvider.h>

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "server/http/caller_address.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/naive_reference.h"

namespace lum::fuzz {
namespace {

using lumresults::Cidr;
using lumresults::IpAddress;

// What inet_pton makes of the text, IPv4 in its mapped form; it stops at a zero byte, so those never read.
std::optional<IpAddress> library_parse(const std::string& text) {
    if (text.find('\0') != std::string::npos) return std::nullopt;
    IpAddress address;
    std::array<std::uint8_t, 4> four;
    if (inet_pton(AF_INET, text.c_str(), four.data()) == 1) {
        address.bytes[10] = address.bytes[11] = 0xff;
        std::memcpy(address.bytes.data() + 12, four.data(), 4);
        return address;
    }
    if (inet_pton(AF_INET6, text.c_str(), address.bytes.data()) == 1) return address;
    return std::nullopt;
}

// inet_ntop's text, except where it writes a dotted tail for the old IPv4-compatible form.
std::optional<std::string> library_format(const IpAddress& address) {
    char text[INET6_ADDRSTRLEN];
    if (address.is_v4()) return inet_ntop(AF_INET, address.bytes.data() + 12, text, sizeof text);
    const bool compatible =
        std::all_of(address.bytes.begin(), address.bytes.begin() + 12, [](auto b) { return b == 0; });
    if (compatible) return std::nullopt;
    return inet_ntop(AF_INET6, address.bytes.data(), text, sizeof text);
}

void check_text(const std::string& text) {
    const std::optional<IpAddress> parsed = lumresults::parse_address(text);
    require(parsed == library_parse(text), "parsing takes exactly what inet_pton takes");
    if (!parsed) return;
    const std::string formatted = lumresults::format_address(*parsed);
    require(lumresults::parse_address(formatted) == parsed, "formatted text reads back the same");
    const std::optional<std::string> library = library_format(*parsed);
    require(!library || *library == formatted, "formatting agrees with inet_ntop");
}

void check_range(const std::string& text, const IpAddress& probe) {
    const std::optional<Cidr> range = lumresults::parse_cidr(text);
    if (!range) return;
    require(range->prefix <= 128, "a prefix fits the address");
    require(range->contains(range->network), "a range contains its network");
    if (range->prefix == 128) require(range->contains(probe) == (probe == range->network), "a host is itself");
}

bool naive_port(std::string_view text) {
    if (text.empty() || text.size() > 5 || (text.size() > 1 && text[0] == '0')) return false;
    if (text.find_first_not_of("0123456789") != std::string_view::npos) return false;
    return std::stoul(std::string(text)) <= 65535;
}

// An entry: an address, "v4:port", "[v6]" or "[v6]:port", blanks and tabs around it dropped.
std::optional<IpAddress> naive_entry(std::string entry) {
    while (!entry.empty() && (entry.front() == ' ' || entry.front() == '\t'))
        entry.erase(0, 1);
    while (!entry.empty() && (entry.back() == ' ' || entry.back() == '\t'))
        entry.pop_back();
    const std::size_t close = entry.find(']');
    if (!entry.empty() && entry[0] == '[' && close != std::string::npos) {
        const std::string inside = entry.substr(1, close - 1);
        const std::string after = entry.substr(close + 1);
        if (inside.find(':') == std::string::npos) return std::nullopt;
        if (!after.empty() && !(after[0] == ':' && naive_port(std::string_view(after).substr(1)))) return std::nullopt;
        return library_parse(inside);
    }
    const std::size_t colon = entry.find(':');
    if (colon != std::string::npos && colon == entry.rfind(':')) {
        const std::optional<IpAddress> host = library_parse(entry.substr(0, colon));
        if (!host || !host->is_v4() || !naive_port(std::string_view(entry).substr(colon + 1))) return std::nullopt;
        return host;
    }
    return library_parse(entry);
}

IpAddress naive_caller(const IpAddress& peer, const std::string& header, const std::vector<Cidr>& trusted) {
    const auto is_trusted = [&](const IpAddress& a) {
        return std::any_of(trusted.begin(), trusted.end(), [&](const Cidr& c) { return c.contains(a); });
    };
    if (!is_trusted(peer)) return peer;
    const std::vector<std::string> entries = naive_fields(header, ",");
    IpAddress caller = peer;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        const std::optional<IpAddress> hop = naive_entry(*entry);
        if (!hop) break;
        caller = *hop;
        if (!is_trusted(caller)) break;
    }
    return caller;
}

void check_caller(const IpAddress& peer, const std::string& header, const std::vector<Cidr>& trusted) {
    const IpAddress caller = lumresults::decide_caller(peer, header, trusted);
    bool named = caller == peer;
    for (const std::string& entry : naive_fields(header, ","))
        named = named || naive_entry(entry) == caller;
    require(named, "the caller is the peer or an address the header names");
    require(caller == naive_caller(peer, header, trusted), "the caller is that of the plain walk");
    require(lumresults::decide_caller(peer, std::nullopt, trusted) == peer, "without the header, the peer");
}

} // namespace
} // namespace lum::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace lum::fuzz;
    static const std::vector<Cidr> trusted = {*lumresults::parse_cidr("10.0.0.0/8"),
                                              *lumresults::parse_cidr("192.0.2.0/24"),
                                              *lumresults::parse_cidr("2001:db8::/32"), *lumresults::parse_cidr("::1")};
    static const IpAddress peers[] = {*lumresults::parse_address("10.0.0.1"), *lumresults::parse_address("::1"),
                                      *lumresults::parse_address("198.51.100.1")};
    FuzzedDataProvider data(bytes, size);
    const IpAddress peer = peers[data.ConsumeIntegralInRange<std::size_t>(0, 2)];
    const std::string text = data.ConsumeRandomLengthString(64);
    check_text(text);
    check_range(text, peer);
    check_caller(peer, data.ConsumeRemainingBytesAsString(), trusted);
    return 0;
}
