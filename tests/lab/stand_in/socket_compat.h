// tests/lab/stand_in/socket_compat.h: the differences between Winsock and POSIX sockets, and nothing else.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstddef>

namespace lum::lab::compat {

#ifdef _WIN32
using NativeSocket = SOCKET;
using IoLength = int;
using AddressLength = int;
inline constexpr NativeSocket NO_SOCKET = INVALID_SOCKET;
inline constexpr int SEND_FLAGS = 0;
inline void close_socket(NativeSocket socket) { closesocket(socket); }
// Winsock has to be started in every process before its first socket call.
inline bool start_sockets() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}
inline void stop_sockets() { WSACleanup(); }
// Winsock ignores select's first argument.
inline int select_width(NativeSocket) { return 0; }
#else
using NativeSocket = int;
using IoLength = std::size_t;
using AddressLength = socklen_t;
inline constexpr NativeSocket NO_SOCKET = -1;
// A peer that has gone away must give an error, not SIGPIPE, which would end the process unseen.
inline constexpr int SEND_FLAGS = MSG_NOSIGNAL;
inline void close_socket(NativeSocket socket) { ::close(socket); }
inline bool start_sockets() { return true; }
inline void stop_sockets() {}
inline int select_width(NativeSocket socket) { return socket + 1; }
#endif

} // namespace lum::lab::compat
