// server/http/address_limit.cpp: open connections counted per caller's address, each place taken at accept.
#include "server/http/address_limit.h"

#include <algorithm>

namespace lumresults {

CallerKey caller_key(const IpAddress& peer) {
    CallerKey key = peer.bytes;
    if (!peer.is_v4()) std::fill(key.begin() + 8, key.end(), std::uint8_t{0});
    return key;
}

AddressLimit::AddressLimit(unsigned per_address, std::vector<Cidr> exempt, Clock::duration reservation_life)
    : per_address_(per_address), reservation_life_(reservation_life), exempt_(std::move(exempt)) {}

void AddressLimit::set_exempt(std::vector<Cidr> exempt) {
    const std::lock_guard lock(mutex_);
    exempt_ = std::move(exempt);
}

// Called with the mutex held.
bool AddressLimit::exempt(const IpAddress& peer) const {
    return std::any_of(exempt_.begin(), exempt_.end(), [&](const Cidr& network) { return network.contains(peer); });
}

bool AddressLimit::admit(const IpAddress& peer) {
    const Clock::time_point now = Clock::now();
    const std::lock_guard lock(mutex_);
    expire_reservations(now);
    if (exempt(peer)) return true;
    const CallerKey key = caller_key(peer);
    Count& count = counts_[key];
    if (count.open + count.reserved >= per_address_) return false;
    ++count.reserved;
    reservations_.push_back({now, key});
    return true;
}

void AddressLimit::opened(const void* connection, const IpAddress& peer) {
    const CallerKey key = caller_key(peer);
    const std::lock_guard lock(mutex_);
    if (claim_reservation(key)) {
        --counts_[key].reserved;
    } else if (exempt(peer)) {
        return;
    }
    // Without a reservation (it expired while the library's thread stood still, or the proxies changed in
    // between) the connection is counted all the same: it may take its caller one over, never lose count.
    ++counts_[key].open;
    counted_.emplace(connection, key);
}

void AddressLimit::closed(const void* connection) {
    const std::lock_guard lock(mutex_);
    const auto found = counted_.find(connection);
    if (found == counted_.end()) return;
    --counts_[found->second].open;
    forget_if_unused(found->second);
    counted_.erase(found);
}

// Called with the mutex held. A connection starts microseconds after its accept, on the same thread: the
// newest reservation of its caller is taken as its own; an older one left is an accept that never started.
bool AddressLimit::claim_reservation(const CallerKey& key) {
    const auto newest = std::find_if(reservations_.rbegin(), reservations_.rend(),
                                     [&](const Reservation& reservation) { return reservation.key == key; });
    if (newest == reservations_.rend()) return false;
    reservations_.erase(std::next(newest).base());
    return true;
}

// Called with the mutex held.
void AddressLimit::expire_reservations(Clock::time_point now) {
    while (!reservations_.empty() && now - reservations_.front().taken > reservation_life_) {
        const CallerKey key = reservations_.front().key;
        reservations_.pop_front();
        --counts_[key].reserved;
        forget_if_unused(key);
    }
}

// Called with the mutex held.
void AddressLimit::forget_if_unused(const CallerKey& key) {
    const auto count = counts_.find(key);
    if (count != counts_.end() && count->second.open == 0 && count->second.reserved == 0) counts_.erase(count);
}

} // namespace lumresults
