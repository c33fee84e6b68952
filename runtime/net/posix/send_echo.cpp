// runtime/net/posix/send_echo.cpp: one ICMP echo on POSIX over a datagram ICMP socket, else a raw one.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>

#include "runtime/net/addresses.h"
#include "runtime/net/echo_backend.h"
#include "runtime/net/net.h"
#include "runtime/net/posix/icmp_echo.h"
#include "runtime/net/socket_compat.h"

namespace lum {
namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned char ICMP_ECHO_REQUEST_TYPE = 8;
constexpr unsigned char ICMP_ECHO_REPLY_TYPE = 0;
constexpr std::size_t ICMP_HEADER_SIZE = 8;
constexpr std::size_t IP_HEADER_MIN_SIZE = 20;

Socket open_icmp_socket(IcmpSocketKind kind) {
    const int type = kind == IcmpSocketKind::datagram ? SOCK_DGRAM : SOCK_RAW;
    return Socket(::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP));
}

void put_u16(unsigned char* at, std::uint16_t value) {
    at[0] = static_cast<unsigned char>(value >> 8);
    at[1] = static_cast<unsigned char>(value & 0xffu);
}

std::uint16_t get_u16(const unsigned char* at) { return static_cast<std::uint16_t>(at[0] << 8 | at[1]); }

// The Internet checksum: the one's complement of the one's complement sum of 16-bit big-endian words.
std::uint16_t internet_checksum(std::span<const unsigned char> bytes) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 2)
        sum += static_cast<std::uint32_t>(bytes[i] << 8 | (i + 1 < bytes.size() ? bytes[i + 1] : 0));
    while (sum >> 16)
        sum = (sum & 0xffffu) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xffffu);
}

// A fresh identifier and sequence for every echo, so that no reply to an earlier echo (or to another
// program's) is taken for this one's.
EchoRequest new_request(std::string_view payload) {
    const std::uint32_t bits = std::random_device{}();
    return {static_cast<std::uint16_t>(bits >> 16), static_cast<std::uint16_t>(bits & 0xffffu), payload};
}

sockaddr_in socket_address_of(std::uint32_t address) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    const auto bytes = address_bytes(address);
    std::memcpy(&target.sin_addr, bytes.data(), bytes.size());
    return target;
}

// Rounded up, so that the last fraction of a millisecond is waited for rather than polled in a loop.
int remaining_ms(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, 0x7fffffff));
}

enum class Received { reply, other, failed };

// Reads one packet; only a reply from the target itself to this very request counts.
Received read_packet(int fd, const sockaddr_in& target, const EchoRequest& request, IcmpSocketKind kind) {
    std::array<unsigned char, 2048> packet{};
    sockaddr_in sender{};
    socklen_t sender_size = sizeof sender;
    const ssize_t got =
        ::recvfrom(fd, packet.data(), packet.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&sender), &sender_size);
    if (got < 0) return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK ? Received::other : Received::failed;
    if (sender.sin_addr.s_addr != target.sin_addr.s_addr) return Received::other;
    const std::span<const unsigned char> read(packet.data(), static_cast<std::size_t>(got));
    return is_reply_to(read, request, kind) ? Received::reply : Received::other;
}

// Any other packet (our own request on a raw socket, someone else's reply) is skipped, and the wait
// goes on for what is left of the time-out. A send that fails (no route to the address) or a read that
// fails ends it at once: no reply can come then.
std::int32_t echo_over(int fd, IcmpSocketKind kind, std::uint32_t address, std::string_view payload,
                       std::int32_t timeout_ms) {
    const EchoRequest request = new_request(payload);
    const std::vector<unsigned char> packet = echo_request_packet(request);
    const sockaddr_in target = socket_address_of(address);
    const Clock::time_point sent = Clock::now();
    const Clock::time_point deadline = sent + std::chrono::milliseconds(std::max(timeout_ms, 0));
    if (::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&target), sizeof target) < 0)
        return ECHO_NO_REPLY;
    for (;;) {
        const int wait_ms = remaining_ms(deadline);
        pollfd watch{fd, POLLIN, 0};
        const int ready = ::poll(&watch, 1, wait_ms);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return ECHO_NO_REPLY;
        const Received received = read_packet(fd, target, request, kind);
        if (received == Received::failed) return ECHO_NO_REPLY;
        if (received == Received::reply)
            return static_cast<std::int32_t>(
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count());
        if (wait_ms == 0) return ECHO_NO_REPLY;
    }
}

} // namespace

std::vector<unsigned char> echo_request_packet(const EchoRequest& request) {
    std::vector<unsigned char> packet(ICMP_HEADER_SIZE + request.payload.size(), 0);
    packet[0] = ICMP_ECHO_REQUEST_TYPE;
    put_u16(&packet[4], request.identifier);
    put_u16(&packet[6], request.sequence);
    std::copy(request.payload.begin(), request.payload.end(), packet.begin() + ICMP_HEADER_SIZE);
    put_u16(&packet[2], internet_checksum(packet));
    return packet;
}

bool is_reply_to(std::span<const unsigned char> packet, const EchoRequest& request, IcmpSocketKind kind) {
    if (kind == IcmpSocketKind::raw) {
        if (packet.size() < IP_HEADER_MIN_SIZE || (packet[0] >> 4) != 4) return false;
        const std::size_t header_size = (packet[0] & 0x0fu) * 4u;
        if (header_size < IP_HEADER_MIN_SIZE || packet.size() < header_size) return false;
        packet = packet.subspan(header_size);
    }
    if (packet.size() != ICMP_HEADER_SIZE + request.payload.size()) return false;
    if (packet[0] != ICMP_ECHO_REPLY_TYPE || packet[1] != 0) return false;
    if (get_u16(&packet[6]) != request.sequence) return false;
    if (kind == IcmpSocketKind::raw && get_u16(&packet[4]) != request.identifier) return false;
    return std::equal(request.payload.begin(), request.payload.end(), packet.begin() + ICMP_HEADER_SIZE,
                      [](char expected, unsigned char seen) { return static_cast<unsigned char>(expected) == seen; });
}

std::int32_t send_echo_through(IcmpSocketKind kind, std::uint32_t address, std::string_view payload,
                               std::int32_t timeout_ms) {
    const Socket icmp = open_icmp_socket(kind);
    if (!icmp) return ECHO_NO_REPLY;
    return echo_over(icmp.get(), kind, address, payload, timeout_ms);
}

// The datagram socket first: it needs no rights where the system allows it; the raw one otherwise.
std::int32_t send_echo(std::uint32_t address, std::string_view payload, std::int32_t timeout_ms) {
    for (const IcmpSocketKind kind : {IcmpSocketKind::datagram, IcmpSocketKind::raw}) {
        const Socket icmp = open_icmp_socket(kind);
        if (icmp) return echo_over(icmp.get(), kind, address, payload, timeout_ms);
    }
    return ECHO_NO_REPLY;
}

} // namespace lum
