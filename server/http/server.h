// server/http/server.h: the HTTP server: listens, reads requests, runs their routes and answers.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "server/http/address_limit.h"
#include "server/net/ip_address.h"
#include "server/http/connection_watch.h"
#include "server/http/metrics.h"
#include "server/http/routes.h"
#include "server/http/served_daemon.h"
#include "server/http/tls_daemons.h"
#include "server/http/worker_pool.h"

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
    // Anonymous sign-ins have threads of their own (one password hash holds 64 MiB and a core for a tenth
    // of a second or more), and that many may wait beyond them, in all and of one caller; past that they
    // are refused with 503 and Retry-After.
    unsigned sign_in_workers = 1;
    unsigned sign_ins_waiting = 16;
    unsigned sign_ins_per_caller = 4;
    // When not empty, staff routes answer only callers from these networks; others get 403.
    std::vector<Cidr> staff_networks;
    // A second listener that speaks HTTPS itself. With it, staff routes answer only over TLS (this
    // listener's, or a trusted proxy's): the plain listener redirects them there.
    struct Tls {
        ListenAddress listen;
        TlsIdentity identity;
    };
    std::optional<Tls> tls;
};

// The networks a reload may change, as HttpSettings names them at the start.
struct HttpNetworks {
    std::vector<Cidr> trusted_proxies;
    std::vector<Cidr> monitoring;
    std::vector<Cidr> staff;
};

class HttpServer {
public:
    // Starts listening and serving at once; throws std::runtime_error when it cannot (a listener taken, a
    // certificate or key the library refuses, TLS asked of a library built without it).
    // Staff and Token routes are let through only by the gate; without one they are all refused.
    HttpServer(HttpSettings settings, std::vector<Route> routes, Metrics& metrics, Gate gate = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    std::string bound_address() const;                   // "ADDR:PORT" as bound, the chosen port filled in
    std::string tls_bound_address() const;               // the same for the HTTPS listener; empty without one
    std::uint16_t tls_port() const { return tls_port_; } // 0 without one

    // Serves new HTTPS connections with `identity` (a renewed certificate), those open finishing on the
    // old one. Throws std::runtime_error, the old identity still served, when it cannot be used.
    void replace_tls_identity(const TlsIdentity& identity);

    // Stops accepting connections; requests already being read are finished. Returns once every body
    // being received, and every request a worker holds, has been answered, or after grace_ms.
    void stop_accepting_and_drain(unsigned grace_ms);

    struct Exchange; // one request's state between the library's calls
    const std::vector<Route>& routes() const { return routes_; }
    const HttpSettings& settings() const { return settings_; } // as started: see networks()
    std::shared_ptr<const HttpNetworks> networks() const { return networks_.load(); }
    // From the next request (and connection) on; those being answered keep the networks they began with.
    void replace_networks(HttpNetworks networks);
    const Gate& gate() const { return gate_; }
    Metrics& metrics() { return metrics_; }
    ConnectionWatch& watch() { return watch_; }
    AddressLimit& address_limit() { return address_limit_; }
    WorkerPool& workers() { return workers_; }
    std::atomic<int> bodies_in_flight{0};

private:
    HttpSettings settings_;
    std::atomic<std::shared_ptr<const HttpNetworks>> networks_;
    std::vector<Route> routes_;
    Metrics& metrics_;
    Gate gate_;
    ConnectionWatch watch_;
    AddressLimit address_limit_;
    WorkerPool workers_; // stopped before the library, so that no connection is left suspended
    std::unique_ptr<ServedDaemon> daemon_;
    int listen_fd_ = -1;
    std::unique_ptr<TlsDaemons> tls_;
    std::uint16_t tls_port_ = 0; // as bound
};

} // namespace lumresults
