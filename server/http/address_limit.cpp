// server/http/address_limit.cpp: open connections counted per caller's address.
#include "server/http/address_limit.h"

#include <algorithm>

namespace lumresults {

AddressLimit::AddressLimit(unsigned per_address, std::vector<Cidr> exempt)
    : per_address_(per_address), exempt_(std::move(exempt)) {}

void AddressLimit::set_exempt(std::vector<Cidr> exempt) {
    const std::lock_guard lock(mutex_);
    exempt_ = std::move(exempt);
}

AddressLimit::Key AddressLimit::key_of(const IpAddress& peer) {
    Key key = peer.bytes;
    if (!peer.is_v4()) std::fill(key.begin() + 8, key.end(), std::uint8_t{0});
    return key;
}

// Called with the mutex held.
bool AddressLimit::exempt(const IpAddress& peer) const {
    return std::any_of(exempt_.begin(), exempt_.end(), [&](const Cidr& network) { return network.contains(peer); });
}

bool AddressLimit::may_connect(const IpAddress& peer) const {
    const std::lock_guard lock(mutex_);
    if (exempt(peer)) return true;
    const auto found = open_.find(key_of(peer));
    return found == open_.end() || found->second < per_address_;
}

void AddressLimit::opened(const void* connection, const IpAddress& peer) {
    const Key key = key_of(peer);
    const std::lock_guard lock(mutex_);
    if (exempt(peer)) return;
    ++open_[key];
    counted_.emplace(connection, key);
}

void AddressLimit::closed(const void* connection) {
    const std::lock_guard lock(mutex_);
    const auto found = counted_.find(connection);
    if (found == counted_.end()) return;
    const auto count = open_.find(found->second);
    if (count != open_.end() && --count->second == 0) open_.erase(count);
    counted_.erase(found);
}

} // namespace lumresults
