// server/http/address_limit.h: how many connections one caller may hold at once, so that a single host
// cannot take every connection the server has and leave other subscribers unanswered.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "server/net/ip_address.h"

namespace lumresults {

// Who a caller is when its connections or requests are counted: an IPv4 address, or an IPv6 /64, which one
// subscriber's line usually holds.
using CallerKey = std::array<std::uint8_t, 16>;
CallerKey caller_key(const IpAddress& peer);

class AddressLimit {
public:
    using Clock = std::chrono::steady_clock;

    // Connections from an exempt network (a trusted proxy, which carries many callers) are not counted.
    AddressLimit(unsigned per_address, std::vector<Cidr> exempt,
                 Clock::duration reservation_life = std::chrono::seconds(5));

    // A reload's proxies; connections counted before stay counted until they close.
    void set_exempt(std::vector<Cidr> exempt);

    // Asked as a connection is accepted: takes one of its caller's places, or false when the caller holds
    // them all. The check and the taking are one step, so that threads accepting at once cannot each see
    // the same last place free. The place is the connection's once opened() names it; a connection accepted
    // but never started (the library closes it when it runs out of memory or of connections, and says
    // nothing) gives its place back after `reservation_life`.
    bool admit(const IpAddress& peer);
    // The connection started: it holds the place taken for it until closed(). Only opened connections are
    // ever closed.
    void opened(const void* connection, const IpAddress& peer);
    void closed(const void* connection);

private:
    struct Count {
        unsigned open = 0;
        unsigned reserved = 0; // admitted, not yet opened
    };
    struct Reservation {
        Clock::time_point taken;
        CallerKey key;
    };
    bool exempt(const IpAddress& peer) const;
    void expire_reservations(Clock::time_point now);
    bool claim_reservation(const CallerKey& key);
    void forget_if_unused(const CallerKey& key);

    const unsigned per_address_;
    const Clock::duration reservation_life_;
    std::mutex mutex_;
    std::vector<Cidr> exempt_;
    std::map<CallerKey, Count> counts_;
    std::deque<Reservation> reservations_; // in the order taken
    std::unordered_map<const void*, CallerKey> counted_;
};

} // namespace lumresults
