// server/http/server.cpp: the glue to libmicrohttpd: requests in, routes run, answers out, one log line each.
#include "server/http/server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <strings.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <ctime>
#include <stdexcept>
#include <thread>

#include "server/http/access_log.h"
#include "server/http/caller_address.h"
#include "server/http/gated_body.h"
#include "server/http/https_only.h"
#include "server/http/shared_body.h"
#include "server/http/time_text.h"

namespace lumresults {

struct HttpServer::Exchange {
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    std::shared_ptr<const HttpNetworks> networks; // as they were when the request began
    std::string version;
    Request request;
    RouteMatch match;
    std::unique_ptr<BodyReceiver> receiver;
    bool answered = false;
    bool in_flight = false;
    unsigned status = 0;
    std::uint64_t body_bytes = 0;
    std::optional<Response> held_refusal; // found mid-body, sent once the body has ended
    std::uint64_t dropped_bytes = 0;      // of the body after that refusal
    bool handed_over = false;             // to a worker, the connection suspended meanwhile
    std::optional<Response> worked;       // the worker's answer, set before the connection is resumed
    bool holds_daemon = false;            // until it ends: see ServedDaemon
};

namespace {

using Exchange = HttpServer::Exchange;

// Each connection's buffer for a request's headers and the body's pieces, cleared for every request:
// the program's requests are a few hundred bytes, a browser's with cookies a few KB. 16 KiB takes headers
// of up to about 7.8 KB. Half of it would save the library about 2 % of a public-address lookup's CPU in
// clearing the buffer, but would turn away (431) a browser whose headers pass 3.7 KB.
constexpr std::size_t CONNECTION_MEMORY = 16 * 1024;

// How much of a body is still read after its refusal, so that the client gets the refusal.
constexpr std::uint64_t REFUSED_BODY_ALLOWANCE = 1024 * 1024;

MHD_Result collect_query(void* request, MHD_ValueKind, const char* key, const char* value) {
    auto& into = *static_cast<Request*>(request);
    into.query_keys.emplace_back(key);
    into.query.emplace_back(key, value == nullptr ? "" : value);
    return MHD_YES;
}

// The connection came to our own HTTPS listener.
bool over_own_tls(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_GNUTLS_SESSION);
    return info != nullptr && info->tls_session != nullptr;
}

// TLS ends at the proxy in front of us; only a trusted one may say that the request came over it.
bool came_over_tls(MHD_Connection* connection, const Request& request, const HttpNetworks& networks) {
    const char* proto = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Forwarded-Proto");
    if (proto == nullptr || strcasecmp(proto, "https") != 0) return false;
    for (const Cidr& proxy : networks.trusted_proxies)
        if (proxy.contains(request.peer)) return true;
    return false;
}

// Every X-Forwarded-For line, joined as one list: a proxy may add its own line rather than extend one.
MHD_Result collect_forwarded(void* list, MHD_ValueKind, const char* key, const char* value) {
    if (strcasecmp(key, "X-Forwarded-For") != 0 || value == nullptr) return MHD_YES;
    auto& joined = *static_cast<std::string*>(list);
    if (!joined.empty()) joined += ", ";
    joined += value;
    return MHD_YES;
}

// The body's framing as every header line gives it (the library's lookup sees only the first line).
struct Framing {
    std::optional<std::string> length; // the first Content-Length
    bool lengths_differ = false;
    bool chunked = false; // some Transfer-Encoding line
};

MHD_Result collect_framing(void* framing, MHD_ValueKind, const char* key, const char* value) {
    auto& seen = *static_cast<Framing*>(framing);
    if (strcasecmp(key, MHD_HTTP_HEADER_TRANSFER_ENCODING) == 0) seen.chunked = true;
    if (strcasecmp(key, MHD_HTTP_HEADER_CONTENT_LENGTH) != 0) return MHD_YES;
    const std::string text = value == nullptr ? std::string() : std::string(value);
    if (seen.length && *seen.length != text) seen.lengths_differ = true;
    if (!seen.length) seen.length = text;
    return MHD_YES;
}

bool ambiguous_length(MHD_Connection* connection) {
    Framing framing;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, collect_framing, &framing);
    return framing.lengths_differ || (framing.length && framing.chunked);
}

std::optional<std::uint64_t> content_length_of(MHD_Connection* connection) {
    const char* text = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (text == nullptr) return std::nullopt;
    std::uint64_t value = 0;
    for (const char* digit = text; *digit != '\0'; ++digit) {
        if (*digit < '0' || *digit > '9' || value > UINT64_MAX / 10) return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(*digit - '0');
    }
    return value;
}

Request read_request(MHD_Connection* connection, const char* url, const char* method, const HttpNetworks& networks) {
    Request request;
    request.method = method;
    request.path = url;
    MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, collect_query, &request);
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (info != nullptr) request.peer = address_of(info->client_addr).value_or(IpAddress{});
    std::string forwarded;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, collect_forwarded, &forwarded);
    request.caller =
        decide_caller(request.peer, forwarded.empty() ? std::nullopt : std::optional<std::string_view>(forwarded),
                      networks.trusted_proxies);
    request.header = [connection](std::string_view name) -> std::optional<std::string> {
        const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, std::string(name).c_str());
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    };
    request.content_length = content_length_of(connection);
    request.ambiguous_length = ambiguous_length(connection);
    request.secure = over_own_tls(connection) || came_over_tls(connection, request, networks);
    return request;
}

ssize_t fill_streamed(void* body, std::uint64_t offset, char* into, std::size_t room) {
    const std::size_t written = static_cast<StreamedBody*>(body)->fill(offset, into, room);
    return written == 0 ? MHD_CONTENT_READER_END_WITH_ERROR : static_cast<ssize_t>(written);
}

void free_streamed(void* body) { delete static_cast<StreamedBody*>(body); }

// The library's own response for the handler's body: its bytes copied, or asked for as they are sent.
MHD_Response* make_answer(const Response& response) {
    if (!response.streamed_body)
        return MHD_create_response_from_buffer(response.body.size(), const_cast<char*>(response.body.data()),
                                               MHD_RESPMEM_MUST_COPY);
    // The library asks for pieces as large as the room its connection's buffer has.
    auto body = std::make_unique<StreamedBody>(*response.streamed_body);
    MHD_Response* answer =
        MHD_create_response_from_callback(body->size, 64 * 1024, &fill_streamed, body.get(), &free_streamed);
    if (answer != nullptr) body.release(); // the library frees it with the response
    return answer;
}

// Headers go out in the order the handler gave them, then the date; the library adds its own after.
bool queue(MHD_Connection* connection, Exchange& exchange, const Response& response) {
    exchange.answered = true;
    exchange.status = response.status;
    if (response.shared_body) {
        exchange.body_bytes = response.shared_body->size;
        return MHD_queue_response(connection, response.status, response.shared_body->response) == MHD_YES;
    }
    MHD_Response* answer = make_answer(response);
    if (answer == nullptr) return false;
    for (const auto& [name, value] : response.headers)
        MHD_add_response_header(answer, name.c_str(), value.c_str());
    MHD_add_response_header(answer, MHD_HTTP_HEADER_DATE, http_date_now().c_str());
    if (over_own_tls(connection)) MHD_add_response_header(answer, "Strict-Transport-Security", HSTS_VALUE);
    exchange.body_bytes = response.streamed_body ? response.streamed_body->size : response.body.size();
    const MHD_Result queued = MHD_queue_response(connection, response.status, answer);
    MHD_destroy_response(answer);
    return queued == MHD_YES;
}

bool from_any(const std::vector<Cidr>& networks, const IpAddress& caller) {
    for (const Cidr& network : networks)
        if (network.contains(caller)) return true;
    return false;
}

// Handlers run inside the library's callback, where an exception would end the whole process: one that
// escapes a handler (a store that cannot answer, say) is logged and the request answered 500.
template <typename Call> auto guarded(Call call) -> decltype(call()) {
    try {
        return call();
    } catch (const std::exception& error) {
        write_log_line(std::string("lumresults: a handler failed: ") + error.what());
        return Response::text(500, "internal error\n");
    }
}

bool gated(const Route& route) { return route.access == Access::Staff || route.access == Access::Token; }

// A quick route is answered on the thread that read it, unless its gate must ask the store first.
bool answered_here(const Route& route) { return route.quick && !gated(route); }

// What is known once the headers are in, without asking the store: a refusal, or the route and, for a
// body, its receiver. The gate asks the store, so it waits for the body's end and runs on a worker.
std::optional<Response> begin_exchange(HttpServer& server, Exchange& exchange) {
    if (exchange.request.ambiguous_length)
        return Response::text(400, "conflicting Content-Length or Transfer-Encoding lines\n");
    if (exchange.match.route == nullptr) {
        Response refusal = Response::text(exchange.match.refusal,
                                          exchange.match.refusal == 405 ? "method not allowed\n" : "not found\n");
        if (exchange.match.refusal == 405) refusal.headers.emplace_back("Allow", exchange.match.allow);
        return refusal;
    }
    const Route& route = *exchange.match.route;
    const HttpNetworks& networks = *exchange.networks;
    if (route.access == Access::Monitoring && !from_any(networks.monitoring, exchange.request.caller))
        return Response::text(403, "forbidden\n");
    const bool for_staff = route.staff_facing || gated(route);
    if (for_staff && !networks.staff.empty() && !from_any(networks.staff, exchange.request.caller))
        return Response::text(403, "forbidden: staff pages answer only the operator's own networks\n");
    // Passwords, cookies and tokens cross the network only encrypted once the server can encrypt.
    if (for_staff && server.tls_port() != 0 && !exchange.request.secure)
        return https_only_answer(exchange.request, server.tls_port());
    if (gated(route) && !server.gate()) return Response::text(401, "unauthorized\n");
    if (!route.receive) return std::nullopt;
    if (gated(route))
        exchange.receiver = std::make_unique<GatedBody>(server.gate(), route, exchange.request);
    else
        exchange.receiver = route.receive(exchange.request);
    ++server.bodies_in_flight;
    exchange.in_flight = true;
    return exchange.receiver->refusal();
}

// The answer once the whole request is in.
Response answer(HttpServer& server, Exchange& exchange) {
    if (exchange.receiver) return exchange.receiver->finish();
    const Route& route = *exchange.match.route;
    if (gated(route))
        if (std::optional<Response> refusal = server.gate()(route, exchange.request)) return *refusal;
    return route.answer(exchange.request);
}

// A lane that holds all it may (anonymous sign-ins in a flood, say) refuses at once rather than queue.
Response lane_full_answer() {
    Response response =
        Response::text(503, "Too many sign-ins are waiting to be checked; try again in a few seconds.\n");
    response.headers.emplace_back("Retry-After", "5");
    return response;
}

std::chrono::steady_clock::time_point body_deadline(const HttpSettings& settings) {
    return std::chrono::steady_clock::now() + std::chrono::seconds(10 * settings.connection_timeout_s);
}

enum class Handover {
    Taken,      // a worker answers; the library calls on_request again once the connection is resumed
    LaneFull,   // refused: answer lane_full_answer()
    AnswerHere, // the pool or the daemon is stopping: the caller answers itself
};

// The connection waits, suspended, while a worker answers. Its request has the time a body has from now on:
// the store may keep the worker (or the queue before it) long past the time its headers had.
Handover hand_over(ServedDaemon& daemon, MHD_Connection* connection, Exchange& exchange) {
    HttpServer& server = daemon.server;
    WorkerPool::Place place =
        server.workers().take_place(exchange.match.route->lane, caller_key(exchange.request.caller));
    if (!place.taken()) return place.stopping() ? Handover::AnswerHere : Handover::LaneFull;
    if (!daemon.try_hold(2)) return Handover::AnswerHere;
    exchange.handed_over = true;
    exchange.holds_daemon = true;
    server.watch().set_deadline(connection, body_deadline(server.settings()));
    MHD_suspend_connection(connection);
    place.run([&daemon, connection, &exchange] {
        exchange.worked = guarded([&] { return answer(daemon.server, exchange); });
        MHD_resume_connection(connection);
        daemon.release(); // the last this worker does with the daemon or the connection
    });
    return Handover::Taken;
}

std::chrono::steady_clock::time_point
headers_deadline(const HttpSettings& settings,
                 std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now()) {
    return now + std::chrono::seconds(settings.connection_timeout_s);
}

void on_connection(void* context, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code) {
    HttpServer& server = static_cast<ServedDaemon*>(context)->server;
    if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
        server.watch().forget(connection);
        server.address_limit().closed(connection);
        return;
    }
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (info != nullptr) server.watch().watch(connection, info->connect_fd, headers_deadline(server.settings()));
    const MHD_ConnectionInfo* peer = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (peer != nullptr)
        if (const std::optional<IpAddress> address = address_of(peer->client_addr))
            server.address_limit().opened(connection, *address);
}

// The library's own per-address limit would count a trusted proxy, which carries every caller behind it.
MHD_Result on_accept(void* context, const sockaddr* peer, socklen_t) {
    HttpServer& server = static_cast<ServedDaemon*>(context)->server;
    const std::optional<IpAddress> address = address_of(peer);
    return !address || server.address_limit().admit(*address) ? MHD_YES : MHD_NO;
}

// Any answer has as long to be sent as a body has to arrive: a download, or a page a worker made late, may take
// that long to reach a slow line; the library's own time-out still cuts off a client that stops reading.
MHD_Result answer_with(HttpServer& server, MHD_Connection* connection, Exchange& exchange, const Response& response) {
    server.watch().set_deadline(connection, body_deadline(server.settings()));
    return queue(connection, exchange, response) ? MHD_YES : MHD_NO;
}

MHD_Result on_request(void* context, MHD_Connection* connection, const char* url, const char* method,
                      const char* version, const char* data, std::size_t* data_size, void** state) {
    auto& daemon = *static_cast<ServedDaemon*>(context);
    HttpServer& server = daemon.server;
    auto* exchange = static_cast<Exchange*>(*state);
    if (exchange == nullptr) {
        exchange = new Exchange;
        *state = exchange;
        exchange->version = version;
        exchange->networks = server.networks();
        exchange->request = read_request(connection, url, method, *exchange->networks);
        exchange->match = match_route(server.routes(), method, exchange->request.path, exchange->request.query_keys);
        if (exchange->match.route != nullptr && exchange->match.route->receive)
            server.watch().set_deadline(connection, body_deadline(server.settings()));
        // A refusal before the body is sent at once (the connection then closes, the body unread);
        // anything else is answered on a later call, which keeps the connection open for the next request.
        if (std::optional<Response> refusal = guarded([&] { return begin_exchange(server, *exchange); }); refusal)
            return queue(connection, *exchange, *refusal) ? MHD_YES : MHD_NO;
        return MHD_YES;
    }
    if (*data_size > 0) {
        const std::string_view piece(data, *data_size);
        *data_size = 0;
        if (exchange->answered || !exchange->receiver) return MHD_YES; // a body nobody reads is dropped
        // This library takes no answer until the whole request is in: a refusal found mid-body waits for the
        // body's end, the rest of it read and dropped. A body that runs on past that allowance (an endless
        // chunked one) loses its connection unanswered.
        if (exchange->held_refusal) {
            exchange->dropped_bytes += piece.size();
            return exchange->dropped_bytes <= REFUSED_BODY_ALLOWANCE ? MHD_YES : MHD_NO;
        }
        exchange->held_refusal = guarded([&] { return exchange->receiver->feed(piece); });
        return MHD_YES;
    }
    if (exchange->answered) return MHD_YES;
    if (exchange->held_refusal) return answer_with(server, connection, *exchange, *exchange->held_refusal);
    if (!exchange->worked && !exchange->handed_over && !answered_here(*exchange->match.route)) {
        switch (hand_over(daemon, connection, *exchange)) {
        case Handover::Taken: return MHD_YES;
        case Handover::LaneFull: return answer_with(server, connection, *exchange, lane_full_answer());
        case Handover::AnswerHere: break;
        }
    }
    const Response response =
        exchange->worked ? std::move(*exchange->worked) : guarded([&] { return answer(server, *exchange); });
    return answer_with(server, connection, *exchange, response);
}

void on_completed(void* context, MHD_Connection* connection, void** state, MHD_RequestTerminationCode how) {
    auto& daemon = *static_cast<ServedDaemon*>(context);
    HttpServer& server = daemon.server;
    const auto now = std::chrono::steady_clock::now(); // read once: every request ends here
    // The next request on a kept-alive connection has its own time to arrive.
    server.watch().set_deadline(connection, headers_deadline(server.settings(), now));
    // The exchange the first call made ends here, whatever happens below.
    const std::unique_ptr<Exchange> exchange(static_cast<Exchange*>(*state));
    if (!exchange) return;
    *state = nullptr;
    const bool sent = how == MHD_REQUEST_TERMINATED_COMPLETED_OK;
    const unsigned status = exchange->answered ? exchange->status : 0;
    const auto elapsed = now - exchange->started;
    server.metrics().count_request(exchange->match.name, status, sent ? exchange->body_bytes : 0, elapsed);
    write_access_line(exchange->request, exchange->version, status, sent ? exchange->body_bytes : 0, elapsed);
    if (exchange->in_flight) --server.bodies_in_flight;
    if (exchange->holds_daemon) daemon.release();
}

} // namespace

std::optional<ListenAddress> parse_listen_address(std::string_view text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon + 1 == text.size() || text.size() - colon > 6) return std::nullopt;
    std::string_view host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    unsigned port = 0;
    for (char digit : text.substr(colon + 1)) {
        if (digit < '0' || digit > '9') return std::nullopt;
        port = port * 10 + static_cast<unsigned>(digit - '0');
    }
    if (port > 65535 || !parse_address(host)) return std::nullopt;
    return ListenAddress{std::string(host), static_cast<std::uint16_t>(port)};
}

namespace {

struct SocketAddress {
    sockaddr_storage storage{};
    bool v6 = false;
};

SocketAddress socket_address_of(const ListenAddress& listen) {
    SocketAddress address;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address.storage);
    if (inet_pton(AF_INET, listen.host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(listen.port);
        return address;
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address.storage);
    if (inet_pton(AF_INET6, listen.host.c_str(), &v6->sin6_addr) != 1)
        throw std::runtime_error("not a numeric address to listen on: " + listen.host);
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(listen.port);
    address.v6 = true;
    return address;
}

void log_library_message(void*, const char* format, va_list arguments) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string line = std::string("lumresults: http: ") + text;
    while (!line.empty() && line.back() == '\n')
        line.pop_back();
    write_log_line(line);
}

// A daemon serving `server`'s routes on `listen` (or on `listen_fd`, a socket another daemon gave up), over
// TLS when `tls` is given (no socket at all for TlsDaemons::NO_SOCKET: a trial of the identity).
std::unique_ptr<ServedDaemon> start_daemon(HttpServer& server, const ListenAddress& listen, const TlsIdentity* tls,
                                           int listen_fd = TlsDaemons::OWN_SOCKET) {
    const HttpSettings& settings = server.settings();
    SocketAddress address = socket_address_of(listen);
    // The library would write its Date line ahead of every header the handler adds; the public-address
    // answer must start with its own line, so the date is written by queue(), after the handler's.
    unsigned flags =
        MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG | MHD_USE_SUPPRESS_DATE_NO_CLOCK;
    // An IPv6 address takes IPv4 callers too ("[::]:80" serves both); they are seen as IPv4-mapped
    // addresses, which decide_caller() and the log write as dotted IPv4.
    if (address.v6) flags |= MHD_USE_DUAL_STACK;
    std::vector<MHD_OptionItem> options;
    // One thread is the polling thread alone: the library would warn about a pool of none.
    if (settings.threads > 1) options.push_back({MHD_OPTION_THREAD_POOL_SIZE, settings.threads, nullptr});
    if (listen_fd == TlsDaemons::NO_SOCKET)
        flags |= MHD_USE_NO_LISTEN_SOCKET;
    else if (listen_fd >= 0)
        options.push_back({MHD_OPTION_LISTEN_SOCKET, listen_fd, nullptr});
    else
        options.push_back({MHD_OPTION_SOCK_ADDR, 0, &address.storage});
    if (tls != nullptr) {
        flags |= MHD_USE_TLS;
        options.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(tls->certificate_pem.c_str())});
        options.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(tls->key_pem.c_str())});
        options.push_back({MHD_OPTION_HTTPS_PRIORITIES, 0, const_cast<char*>(TLS_PRIORITIES)});
    }
    options.push_back({MHD_OPTION_END, 0, nullptr});
    auto daemon = std::make_unique<ServedDaemon>(server);
    // clang-format off
    daemon->handle = MHD_start_daemon(
        flags, listen.port, &on_accept, daemon.get(), &on_request, daemon.get(),
        MHD_OPTION_EXTERNAL_LOGGER, &log_library_message, nullptr, // first, or early messages miss it
        MHD_OPTION_ARRAY, options.data(),
        MHD_OPTION_CONNECTION_TIMEOUT, settings.connection_timeout_s,
        MHD_OPTION_CONNECTION_LIMIT, settings.connection_limit,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, CONNECTION_MEMORY,
        MHD_OPTION_NOTIFY_COMPLETED, &on_completed, daemon.get(),
        MHD_OPTION_NOTIFY_CONNECTION, &on_connection, daemon.get(),
        MHD_OPTION_END);
    // clang-format on
    if (daemon->handle != nullptr) return daemon;
    const std::string where = listen.host + ":" + std::to_string(listen.port);
    if (tls == nullptr) throw std::runtime_error("cannot listen on " + where);
    // The library has logged GnuTLS's own reason just before.
    throw std::runtime_error("cannot serve HTTPS on " + where + " (the address, or the certificate and key)");
}

std::uint16_t port_of(MHD_Daemon* daemon, std::uint16_t otherwise) {
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT);
    return info != nullptr ? info->port : otherwise;
}

std::string address_text(const ListenAddress& listen, std::uint16_t port) {
    const bool v6 = listen.host.find(':') != std::string::npos;
    return (v6 ? "[" + listen.host + "]" : listen.host) + ":" + std::to_string(port);
}

// Anonymous sign-ins have a thread of their own rather than a share of the others: a flood of them takes one
// worker's CPU at most, and uploads, staff and the API keep every other worker. It runs at the workers'
// priority: one step lower, the request threads busy refusing a flood left it too little time to hash its
// way to the throttle's hold (hostile_bench: 20 sign-ins checked in 10 s rather than 400 to 570).
WorkerPool workers_for(const HttpSettings& settings) {
    return WorkerPool({settings.workers, WorkerPool::UNBOUNDED, WorkerPool::UNBOUNDED},
                      {settings.sign_in_workers, settings.sign_ins_waiting, settings.sign_ins_per_caller});
}

} // namespace

HttpServer::HttpServer(HttpSettings settings, std::vector<Route> routes, Metrics& metrics, Gate gate)
    : settings_(std::move(settings)),
      networks_(std::make_shared<const HttpNetworks>(
          HttpNetworks{settings_.trusted_proxies, settings_.monitoring_networks, settings_.staff_networks})),
      routes_(std::move(routes)), metrics_(metrics), gate_(std::move(gate)),
      address_limit_(settings_.connections_per_address, settings_.trusted_proxies), workers_(workers_for(settings_)) {
    // The HTTPS listener first: owned by tls_, it is stopped again should the plain one fail to start.
    if (settings_.tls) {
        if (MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES)
            throw std::runtime_error("this build of libmicrohttpd has no TLS: serve HTTPS through a proxy instead");
        const ListenAddress listen = settings_.tls->listen;
        tls_ = std::make_unique<TlsDaemons>(
            [this, listen](const TlsIdentity& identity, int fd) { return start_daemon(*this, listen, &identity, fd); },
            settings_.tls->identity, std::chrono::seconds(10 * settings_.connection_timeout_s));
        tls_port_ = port_of(tls_->current(), listen.port);
    }
    try {
        daemon_ = start_daemon(*this, settings_.listen, nullptr);
    } catch (...) {
        workers_.stop(); // a request the HTTPS listener took already is answered before tls_ stops it
        throw;
    }
}

// The workers first: each connection one holds is resumed with its answer, and any request after that is
// answered on its daemon's thread, so that no daemon is stopped with a connection suspended.
HttpServer::~HttpServer() {
    workers_.stop();
    tls_.reset();
    daemon_.reset();
    if (listen_fd_ >= 0) ::close(listen_fd_);
}

std::string HttpServer::bound_address() const {
    return address_text(settings_.listen, port_of(daemon_->handle, settings_.listen.port));
}

std::string HttpServer::tls_bound_address() const {
    return settings_.tls ? address_text(settings_.tls->listen, tls_port_) : std::string();
}

void HttpServer::replace_networks(HttpNetworks networks) {
    address_limit_.set_exempt(networks.trusted_proxies);
    networks_.store(std::make_shared<const HttpNetworks>(std::move(networks)));
}

void HttpServer::replace_tls_identity(const TlsIdentity& identity) {
    if (!tls_) throw std::runtime_error("the server has no HTTPS listener");
    tls_->replace(identity);
}

void HttpServer::stop_accepting_and_drain(unsigned grace_ms) {
    if (listen_fd_ < 0) {
        const MHD_socket fd = MHD_quiesce_daemon(daemon_->handle);
        if (fd != MHD_INVALID_SOCKET) listen_fd_ = fd;
        if (listen_fd_ >= 0) {
            ::close(listen_fd_); // no new connection is queued behind the closed socket
            listen_fd_ = -2;
        }
        if (tls_) tls_->stop_accepting();
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(grace_ms);
    const auto busy = [this] { return bodies_in_flight.load() > 0 || daemon_->held() || (tls_ && tls_->held()); };
    while (busy() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace lumresults
