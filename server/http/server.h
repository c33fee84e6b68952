// server/http/server.h: the HTTP server: listens, reads requests, runs their routes and answers.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "server/http/address_limit.h"
#include "server/http/caller_address.h"
#include "server/http/connection_watch.h"
#include "server/http/metrics.h"
#include "server/http/routes.h"
#include "server/http/worker_pool.h"

struct MHD_Daemon;

namespace lumresults {

struct ListenAddress {
    std::string host; // numeric IPv4 or IPv6
    std::uint16_t port = 0;
};
// "ADDR:PORT", "[IPv6]:PORT"; port 0 lets the system choose.
std::optional<ListenAddress> parse_listen_address(std::string_view text);

struct HttpSettings {
    ListenAddress listen;
    std::vector<Cidr> trusted_proxies;
    std::vector<Cidr> monitoring_networks; // who may read Monitoring routes
    unsigned threads = 2;
    unsigned connection_timeout_s = 30; // idle or slow connections are closed after this
    unsigned connection_limit = 1024;
    // A caller (an IPv4 address, an IPv6 /64) holds at most this many at once; trusted proxies are exempt.
    unsigned connections_per_address = 64;
    unsigned workers = 4; // threads for the store, password hashing and reading reports back
    // When not empty, staff routes answer only callers from these networks; others get 403.
    std::vector<Cidr> staff_networks;
};

class HttpServer {
public:
    // Starts listening and serving at once; throws std::runtime_error when it cannot.
    // Staff and Token routes are let through only by the gate; without one they are all refused.
    HttpServer(HttpSettings settings, std::vector<Route> routes, Metrics& metrics, Gate gate = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    std::string bound_address() const; // "ADDR:PORT" as bound, the chosen port filled in

    // Stops accepting connections; requests already being read are finished. Returns once every body
    // being received has been answered, or after grace_ms.
    void stop_accepting_and_drain(unsigned grace_ms);

    struct Exchange; // one request's state between the library's calls
    const std::vector<Route>& routes() const { return routes_; }
    const HttpSettings& settings() const { return settings_; }
    const Gate& gate() const { return gate_; }
    Metrics& metrics() { return metrics_; }
    ConnectionWatch& watch() { return watch_; }
    AddressLimit& address_limit() { return address_limit_; }
    WorkerPool& workers() { return workers_; }
    std::atomic<int> bodies_in_flight{0};

private:
    HttpSettings settings_;
    std::vector<Route> routes_;
    Metrics& metrics_;
    Gate gate_;
    ConnectionWatch watch_;
    AddressLimit address_limit_;
    WorkerPool workers_; // stopped before the library, so that no connection is left suspended
    MHD_Daemon* daemon_ = nullptr;
    int listen_fd_ = -1;
};

} // namespace lumresults
