// tests/lab/stand_in/loopback_socket.cpp: TCP over loopback, written once over the socket differences of
// socket_compat.h.
#include "tests/lab/stand_in/loopback_socket.h"

#include <charconv>
#include <cstring>

namespace lum::lab {
namespace {

sockaddr_in socket_address(const LoopbackAddress& address) {
    sockaddr_in place{};
    place.sin_family = AF_INET;
    place.sin_addr.s_addr = htonl(address.host);
    place.sin_port = htons(address.port);
    return place;
}

// A decimal number of at most `max`; the text must be all digits.
std::optional<unsigned> parse_number(std::string_view text, unsigned max) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > max) return std::nullopt;
    return value;
}

} // namespace

std::optional<LoopbackAddress> parse_loopback_address(std::string_view text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto port = parse_number(text.substr(colon + 1), 65535);
    if (!port || *port == 0) return std::nullopt;
    std::string_view rest = text.substr(0, colon);
    std::uint32_t host = 0;
    for (int octet = 0; octet < 4; ++octet) {
        const std::size_t dot = octet < 3 ? rest.find('.') : rest.size();
        if (dot == std::string_view::npos) return std::nullopt;
        const auto value = parse_number(rest.substr(0, dot), 255);
        if (!value) return std::nullopt;
        host = (host << 8) | *value;
        rest.remove_prefix(octet < 3 ? dot + 1 : dot);
    }
    if ((host >> 24) != 127) return std::nullopt;
    return LoopbackAddress{host, static_cast<std::uint16_t>(*port)};
}

Socket connect_to(const LoopbackAddress& to) {
    Socket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    const sockaddr_in place = socket_address(to);
    if (!socket || ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&place), sizeof(place)) != 0) {
        return Socket();
    }
    return socket;
}

Socket listen_on_loopback(std::uint16_t& port) {
    Socket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    const sockaddr_in place = socket_address(LoopbackAddress{0x7F000001, 0});
    if (!socket || ::bind(socket.get(), reinterpret_cast<const sockaddr*>(&place), sizeof(place)) != 0 ||
        ::listen(socket.get(), 4) != 0) {
        return Socket();
    }
    sockaddr_in bound{};
    compat::AddressLength length = sizeof(bound);
    if (::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) return Socket();
    port = ntohs(bound.sin_port);
    return socket;
}

Socket accept_connection(const Socket& listener) { return Socket(::accept(listener.get(), nullptr, nullptr)); }

bool wait_readable(const Socket& socket, int timeout_ms) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket.get(), &readable);
    timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    return ::select(compat::select_width(socket.get()), &readable, nullptr, nullptr, &limit) > 0;
}

bool send_all(const Socket& socket, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto length = static_cast<compat::IoLength>(bytes.size() < 65536 ? bytes.size() : 65536);
        const auto sent = ::send(socket.get(), bytes.data(), length, compat::SEND_FLAGS);
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool receive_some(const Socket& socket, std::string& bytes) {
    char buffer[4096];
    const auto got = ::recv(socket.get(), buffer, static_cast<compat::IoLength>(sizeof(buffer)), 0);
    if (got <= 0) return false;
    bytes.append(buffer, static_cast<std::size_t>(got));
    return true;
}

} // namespace lum::lab
