// runtime/net/socket_compat.h: the few differences between Windows Sockets and POSIX sockets, in one place.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstddef>
#include <cstdint>

#include "runtime/common/unique_resource.h"

namespace lum {

#ifdef _WIN32
using NativeSocket = SOCKET;
inline constexpr NativeSocket NO_SOCKET = INVALID_SOCKET;
inline void close_native_socket(NativeSocket socket) { closesocket(socket); }
inline bool ask_bytes_waiting(NativeSocket socket, std::int32_t& bytes) {
    u_long waiting = 0;
    if (ioctlsocket(socket, FIONREAD, &waiting) != 0) return false;
    bytes = static_cast<std::int32_t>(waiting > 0x7fffffff ? 0x7fffffff : waiting);
    return true;
}
inline bool set_socket_blocking(NativeSocket socket, bool blocking) {
    u_long non_blocking = blocking ? 0 : 1;
    return ioctlsocket(socket, FIONBIO, &non_blocking) == 0;
}
using SocketLength = int;
using BufferLength = int;
// Windows has no SIGPIPE: a send to a connection the peer has reset simply fails.
inline constexpr int SEND_FLAGS = 0;
#else
using NativeSocket = int;
inline constexpr NativeSocket NO_SOCKET = -1;
inline void close_native_socket(NativeSocket socket) { ::close(socket); }
inline bool ask_bytes_waiting(NativeSocket socket, std::int32_t& bytes) {
    int waiting = 0;
    if (::ioctl(socket, FIONREAD, &waiting) != 0) return false;
    bytes = waiting;
    return true;
}
inline bool set_socket_blocking(NativeSocket socket, bool blocking) {
    const int flags = ::fcntl(socket, F_GETFL, 0);
    if (flags < 0) return false;
    return ::fcntl(socket, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
}
using SocketLength = socklen_t;
using BufferLength = std::size_t;
// A send to a connection the peer has reset must fail with an error the caller sees, not raise SIGPIPE,
// which would end the program without a word.
inline constexpr int SEND_FLAGS = MSG_NOSIGNAL;
#endif

// A socket owned by one object and closed with it.
struct SocketKind {
    using Native = NativeSocket;
    static constexpr NativeSocket none() { return NO_SOCKET; }
    static bool holds(NativeSocket socket) { return socket != NO_SOCKET; }
    static void free(NativeSocket socket) { close_native_socket(socket); }
};

using Socket = UniqueResource<SocketKind>;

} // namespace lum
