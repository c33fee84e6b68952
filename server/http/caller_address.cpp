// server/http/caller_address.cpp: the one rule for whose request it is.
#include "server/http/caller_address.h"

#include "server/common/blanks.h"

namespace lumresults {
namespace {

bool is_trusted(const IpAddress& address, std::span<const Cidr> trusted_proxies) {
    for (const Cidr& range : trusted_proxies) {
        if (range.contains(address)) return true;
    }
    return false;
}

} // namespace

IpAddress decide_caller(const IpAddress& peer, std::optional<std::string_view> forwarded_for,
                        std::span<const Cidr> trusted_proxies) {
    IpAddress caller = peer;
    if (!forwarded_for || !is_trusted(peer, trusted_proxies)) return caller;
    // Right to left: each entry was written by the hop to its right, which is only believed while trusted.
    std::string_view rest = *forwarded_for;
    while (true) {
        const std::size_t comma = rest.rfind(',');
        const std::string_view entry = trim_blanks(comma == std::string_view::npos ? rest : rest.substr(comma + 1));
        const std::optional<IpAddress> hop = parse_address_with_port(entry);
        if (!hop) return caller;
        caller = *hop;
        if (!is_trusted(caller, trusted_proxies) || comma == std::string_view::npos) return caller;
        rest = rest.substr(0, comma);
    }
}

} // namespace lumresults
