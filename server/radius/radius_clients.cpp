// server/radius/radius_clients.cpp: the accounting senders' lines, their secret files, and their budgets.
#include "server/radius/radius_clients.h"

#include <fstream>
#include <stdexcept>

namespace lumresults::radius {

RadiusClient radius_client_of(std::string_view setting) {
    const std::size_t space = setting.find_first_of(" \t");
    if (space == std::string_view::npos) throw std::runtime_error("expected CIDR SECRET-FILE: " + std::string(setting));
    const std::string cidr(setting.substr(0, space));
    const std::string file(setting.substr(setting.find_first_not_of(" \t", space)));
    const std::optional<Cidr> network = parse_cidr(cidr);
    if (!network) throw std::runtime_error("not an address or ADDR/BITS: " + cidr);
    std::ifstream in(file);
    std::string secret;
    if (!in || !std::getline(in, secret)) throw std::runtime_error("cannot read the secret file " + file);
    if (!secret.empty() && secret.back() == '\r') secret.pop_back();
    if (secret.empty()) throw std::runtime_error("the secret file " + file + " starts with an empty line");
    return {*network, secret};
}

ClientTable::ClientTable(std::vector<RadiusClient> clients, unsigned rate)
    : clients_(std::move(clients)), budgets_(clients_.size(), Budget{double(rate), {}}), rate_(rate) {}

const RadiusClient* ClientTable::find(const IpAddress& sender) const {
    const RadiusClient* found = nullptr;
    for (const RadiusClient& client : clients_)
        if (client.network.contains(sender) && (!found || client.network.prefix > found->network.prefix))
            found = &client;
    return found;
}

bool ClientTable::take(const RadiusClient& client, std::chrono::steady_clock::time_point now) {
    Budget& budget = budgets_[static_cast<std::size_t>(&client - clients_.data())];
    const double seconds = std::chrono::duration<double>(now - budget.refilled).count();
    budget.tokens = std::min(rate_, budget.tokens + seconds * rate_);
    budget.refilled = now;
    if (budget.tokens < 1) return false;
    budget.tokens -= 1;
    return true;
}

} // namespace lumresults::radius
