// server/radius/radius_clients.h: the access nodes (or relays) that may send accounting, their secrets and rates.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/net/ip_address.h"

namespace lumresults::radius {

// A `radius-client = CIDR SECRET-FILE` line: the senders it covers and the secret they share with us, read
// from a file so that it is never on a command line.
struct RadiusClient {
    Cidr network;
    std::string secret;
};

// Reads "CIDR SECRET-FILE" and the file (its first line; a file of another shape, or an empty secret, is
// refused). Throws std::runtime_error naming what is wrong.
RadiusClient radius_client_of(std::string_view setting);

// Who may send, and how often: each line's senders share one budget of `rate` requests a second (a burst of
// a second's worth allowed), so that one noisy node costs a bounded share and the table stays the size of
// the configuration, whatever the senders.
class ClientTable {
public:
    ClientTable(std::vector<RadiusClient> clients, unsigned rate);

    // The line covering the sender (the narrowest when several do), or nothing.
    const RadiusClient* find(const IpAddress& sender) const;
    // Takes one request of that line's budget; false when it is spent.
    bool take(const RadiusClient& client, std::chrono::steady_clock::time_point now);

private:
    struct Budget {
        double tokens = 0;
        std::chrono::steady_clock::time_point refilled;
    };
    std::vector<RadiusClient> clients_;
    std::vector<Budget> budgets_;
    double rate_;
};

} // namespace lumresults::radius
