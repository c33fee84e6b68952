// server/http/address_limit.h: how many connections one caller may hold at once, so that a single host
// cannot take every connection the server has and leave other subscribers unanswered.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "server/http/caller_address.h"

namespace lumresults {

class AddressLimit {
public:
    // Connections from an exempt network (a trusted proxy, which carries many callers) are not counted.
    AddressLimit(unsigned per_address, std::vector<Cidr> exempt);

    // A reload's proxies; connections counted before stay counted until they close.
    void set_exempt(std::vector<Cidr> exempt);

    // Asked before a connection is accepted: whether its address holds fewer than the limit.
    bool may_connect(const IpAddress& peer) const;
    // `connection` names it until closed(); only opened connections are ever closed.
    void opened(const void* connection, const IpAddress& peer);
    void closed(const void* connection);

private:
    // IPv4 callers are counted per address; IPv6 callers per /64, which one subscriber's line usually holds.
    using Key = std::array<std::uint8_t, 16>;
    static Key key_of(const IpAddress& peer);
    bool exempt(const IpAddress& peer) const;

    const unsigned per_address_;
    mutable std::mutex mutex_;
    std::vector<Cidr> exempt_;
    std::map<Key, unsigned> open_;
    std::unordered_map<const void*, Key> counted_;
};

} // namespace lumresults
