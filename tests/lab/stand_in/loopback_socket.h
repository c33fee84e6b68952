// tests/lab/stand_in/loopback_socket.h: TCP over loopback for the stand-in's upload and the tests' listener; no name is
// ever looked up.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/common/unique_resource.h"
#include "tests/lab/stand_in/socket_compat.h"

namespace lum::lab {

// An IPv4 address in host byte order and a port.
struct LoopbackAddress {
    std::uint32_t host = 0;
    std::uint16_t port = 0;
};

// "a.b.c.d:port" with a in 127 (the loopback block) and port 1 to 65535; anything else, names
// included, gives nothing, so that no test can send the stand-in beyond this machine.
std::optional<LoopbackAddress> parse_loopback_address(std::string_view text);

// Sockets usable for the object's lifetime (Winsock started and stopped; nothing on POSIX).
class SocketLibrary {
public:
    SocketLibrary() : ready_(compat::start_sockets()) {}
    ~SocketLibrary() {
        if (ready_) compat::stop_sockets();
    }
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;
    bool ready() const { return ready_; }

private:
    bool ready_;
};

// A TCP socket, closed with the object; move-only.
struct SocketKind {
    using Native = compat::NativeSocket;
    static constexpr compat::NativeSocket none() { return compat::NO_SOCKET; }
    static bool holds(compat::NativeSocket socket) { return socket != compat::NO_SOCKET; }
    static void free(compat::NativeSocket socket) { compat::close_socket(socket); }
};

using Socket = UniqueResource<SocketKind>;

// A connection to `to`; an empty socket when refused.
Socket connect_to(const LoopbackAddress& to);

// A socket listening on 127.0.0.1 at a port the system picks; `port` receives it.
Socket listen_on_loopback(std::uint16_t& port);

// The next waiting connection (call after wait_readable said so); an empty socket on failure.
Socket accept_connection(const Socket& listener);

// Waits at most `timeout_ms` until the socket has data, its end, or (listening) a connection.
bool wait_readable(const Socket& socket, int timeout_ms);

bool send_all(const Socket& socket, std::string_view bytes);

// Appends what one receive brings; false at the end of the stream or on an error.
bool receive_some(const Socket& socket, std::string& bytes);

} // namespace lum::lab
