// server/http/caller_address.h: whose request this is: the TCP peer, or the client a trusted proxy names.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "server/net/ip_address.h"

namespace lumresults {

// The caller: the peer itself, unless the peer is a trusted proxy; then the right-most entry of
// X-Forwarded-For (every such header, comma-separated, in order) that is not a trusted proxy. When
// every entry is trusted the left-most is used; an entry that is not an address ends the walk there
// and the last trusted hop is the caller.
// Entries are trimmed of blanks and tabs. Besides a bare address an entry may carry a port as some
// proxies write it ("192.0.2.1:8080", "[2001:db8::1]:8080", "[2001:db8::1]"). Everything else ("unknown",
// an empty entry, a zone, a quoted or obfuscated name) is not an address: whoever wrote it is not
// believed for what lies further left, so the walk stops rather than skipping it.
IpAddress decide_caller(const IpAddress& peer, std::optional<std::string_view> forwarded_for,
                        std::span<const Cidr> trusted_proxies);

} // namespace lumresults
