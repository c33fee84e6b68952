// runtime/net/connection.cpp: TCP and UDP client connections over the sockets of either platform.
#include "runtime/net/connection.h"

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "runtime/net/network_service.h"
#include "runtime/net/socket_compat.h"
#include "runtime/time/time.h"

namespace lum {

class Connection {
public:
    std::int32_t kind = CONNECTION_TCP;
    Socket socket;
    sockaddr_storage remote{}; // UDP: where each datagram goes
    SocketLength remote_length = 0;
    std::vector<char> pending;  // UDP: the last datagram received
    std::size_t handed_out = 0; // UDP: how much of it is already handed out
};

void ConnectionCloser::operator()(Connection* connection) const { delete connection; }

namespace {

constexpr std::size_t DATAGRAM_LIMIT = 2048;

// IPv4: a dotted address as it is, else the first address of a name lookup.
bool ipv4_address(const std::string& host, std::int32_t port, sockaddr_storage& address, SocketLength& length) {
    sockaddr_in ipv4{};
    ipv4.sin_family = AF_INET;
    ipv4.sin_port = htons(static_cast<std::uint16_t>(port));
    ipv4.sin_addr.s_addr = inet_addr(host.c_str());
    if (ipv4.sin_addr.s_addr == INADDR_NONE) {
        const hostent* found = gethostbyname(host.c_str());
        if (found == nullptr || found->h_addrtype != AF_INET || found->h_addr_list[0] == nullptr) return false;
        std::memcpy(&ipv4.sin_addr, found->h_addr_list[0], sizeof(ipv4.sin_addr));
    }
    std::memcpy(&address, &ipv4, sizeof(ipv4));
    length = sizeof(ipv4);
    return true;
}

bool ipv6_address(const std::string& host, std::int32_t port, sockaddr_storage& address, SocketLength& length) {
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
    std::memcpy(&address, found->ai_addr, found->ai_addrlen);
    length = static_cast<SocketLength>(found->ai_addrlen);
    freeaddrinfo(found);
    reinterpret_cast<sockaddr_in6&>(address).sin6_port = htons(static_cast<std::uint16_t>(port));
    return true;
}

bool bind_locally(const Socket& socket, std::string_view local_address, std::int32_t local_port) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(local_port));
    const std::string text(local_address);
    const auto parsed = text.empty() ? INADDR_NONE : inet_addr(text.c_str());
    local.sin_addr.s_addr = parsed == INADDR_NONE ? htonl(INADDR_ANY) : parsed;
    return bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof(local)) == 0;
}

// With a time limit the connect is started without blocking, and the socket must turn writable in time.
bool connect_within(const Connection& connection, std::int32_t timeout_ms) {
    const NativeSocket native = connection.socket.get();
    const auto* remote = reinterpret_cast<const sockaddr*>(&connection.remote);
    if (timeout_ms <= 0) return connect(native, remote, connection.remote_length) == 0;
    if (!set_socket_blocking(native, false)) return false;
    connect(native, remote, connection.remote_length);
    if (!set_socket_blocking(native, true)) return false;
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(native, &writable);
    FD_SET(native, &failed);
    timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    if (select(static_cast<int>(native) + 1, nullptr, &writable, &failed, &limit) <= 0) return false;
    int error = 0;
    SocketLength size = sizeof(error);
    getsockopt(native, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
    return FD_ISSET(native, &writable) && error == 0;
}

// The zero-time check that the peer has closed: readable with nothing to read.
bool readable_now(NativeSocket native) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(native, &readable);
    timeval now{0, 0};
    return select(static_cast<int>(native) + 1, &readable, nullptr, nullptr, &now) != 0;
}

std::int32_t poll_datagram(Connection& connection) {
    char datagram[DATAGRAM_LIMIT];
    const auto got =
        recvfrom(connection.socket.get(), datagram, static_cast<BufferLength>(sizeof(datagram)), 0, nullptr, nullptr);
    if (got < 0) return CONNECTION_NOTHING;
    connection.pending.assign(datagram, datagram + got);
    connection.handed_out = 0;
    return CONNECTION_DATA;
}

void pause_for(std::int32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

} // namespace

ConnectionHandle open_connection(std::string_view host, std::int32_t port, std::int32_t mode, std::int32_t timeout_ms,
                                 std::string_view local_address, std::int32_t local_port) {
    const bool ipv6 = (mode & CONNECTION_IPV6) != 0;
    if (ipv6 && !network_ipv6_capable()) return nullptr;
    std::int32_t kind = mode & ~CONNECTION_IPV6;
    if (kind == 0) kind = CONNECTION_TCP;
    if (kind != CONNECTION_TCP && kind != CONNECTION_UDP) return nullptr;
    ConnectionHandle connection(new Connection());
    connection->kind = kind;
    connection->socket =
        Socket(socket(ipv6 ? AF_INET6 : AF_INET, kind == CONNECTION_TCP ? SOCK_STREAM : SOCK_DGRAM, 0));
    if (!connection->socket) return nullptr;
    const std::string name(host);
    const bool found = ipv6 ? ipv6_address(name, port, connection->remote, connection->remote_length)
                            : ipv4_address(name, port, connection->remote, connection->remote_length);
    if (!found) return nullptr;
    if (kind == CONNECTION_UDP)
        return set_socket_blocking(connection->socket.get(), false) ? std::move(connection) : nullptr;
    if ((local_port != 0 || !local_address.empty()) && !bind_locally(connection->socket, local_address, local_port)) {
        return nullptr;
    }
    return connect_within(*connection, timeout_ms) ? std::move(connection) : nullptr;
}

ConnectionHandle open_tcp_connection(std::string_view host, std::int32_t port) {
    return open_connection(host, port, CONNECTION_TCP, 0, "", 0);
}

std::int32_t send_bytes(Connection& connection, const char* data, std::int32_t length) {
    const NativeSocket native = connection.socket.get();
    const auto sent = connection.kind == CONNECTION_TCP
                          ? send(native, data, static_cast<BufferLength>(length), SEND_FLAGS)
                          : sendto(native, data, static_cast<BufferLength>(length), SEND_FLAGS,
                                   reinterpret_cast<const sockaddr*>(&connection.remote), connection.remote_length);
    return sent < 0 ? -1 : static_cast<std::int32_t>(sent);
}

// Data waiting means data. Nothing waiting while the socket reads as readable used to mean "closed";
// but the answer may arrive between the two questions, so the first is asked again before saying so.
std::int32_t poll_connection(Connection& connection) {
    if (connection.kind == CONNECTION_UDP) return poll_datagram(connection);
    const NativeSocket native = connection.socket.get();
    std::int32_t waiting = 0;
    if (!ask_bytes_waiting(native, waiting)) return CONNECTION_CLOSED;
    if (waiting > 0) return CONNECTION_DATA;
    if (!readable_now(native)) return CONNECTION_NOTHING;
    if (!ask_bytes_waiting(native, waiting)) return CONNECTION_CLOSED;
    return waiting > 0 ? CONNECTION_DATA : CONNECTION_CLOSED;
}

std::int32_t receive_bytes(Connection& connection, char* buffer, std::int32_t length) {
    if (connection.kind == CONNECTION_TCP) {
        const auto got = recv(connection.socket.get(), buffer, static_cast<BufferLength>(length), 0);
        return got < 0 ? -1 : static_cast<std::int32_t>(got);
    }
    const std::size_t left = connection.pending.size() - connection.handed_out;
    const std::size_t count = left < static_cast<std::size_t>(length) ? left : static_cast<std::size_t>(length);
    if (count > 0) std::memcpy(buffer, connection.pending.data() + connection.handed_out, count);
    connection.handed_out += count;
    if (connection.handed_out == connection.pending.size()) connection.pending.clear(), connection.handed_out = 0;
    return static_cast<std::int32_t>(count);
}

void close_connection(ConnectionHandle connection) { connection.reset(); }

std::int32_t send_all_timed(Connection& connection, std::string_view data, std::int32_t seconds) {
    const DateValue start = now_seconds();
    std::size_t done = 0;
    while (now_seconds() - start < seconds) {
        const std::int32_t sent =
            send_bytes(connection, data.data() + done, static_cast<std::int32_t>(data.size() - done));
        if (sent < 0) {
            pause_for(50);
            continue;
        }
        done += static_cast<std::size_t>(sent);
        if (done == data.size()) return 1;
    }
    return 0;
}

// Polls every 100 ms rather than blocking in the receive; only one receive is made.
std::int32_t receive_timed(Connection& connection, char* buffer, std::int32_t length, std::int32_t seconds) {
    const DateValue start = now_seconds();
    while (now_seconds() - start <= seconds) {
        const std::int32_t event = poll_connection(connection);
        if (event == CONNECTION_CLOSED) return 0;
        if (event == CONNECTION_DATA) {
            const std::int32_t got = receive_bytes(connection, buffer, length);
            return got < 0 ? 0 : got;
        }
        pause_for(100);
    }
    return 0;
}

} // namespace lum
