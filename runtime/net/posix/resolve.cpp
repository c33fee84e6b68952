// runtime/net/posix/resolve.cpp: a host name or dotted address to the dotted text of its last IPv4 address.
#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "runtime/net/addresses.h"
#include "runtime/net/net.h"

namespace lum {
namespace {

// Room for the lookup's answer; a name with a great many addresses or aliases asks for more.
constexpr std::size_t FIRST_ANSWER_ROOM = 1024;
constexpr std::size_t MOST_ANSWER_ROOM = 1024 * 1024;

std::string last_address_text(const hostent& entry) {
    if (entry.h_addrtype != AF_INET || entry.h_length != 4) return {};
    std::string text;
    for (char** address = entry.h_addr_list; *address != nullptr; ++address) {
        std::array<unsigned char, 4> bytes{};
        std::memcpy(bytes.data(), *address, bytes.size());
        text = dotted_text(bytes); // each address replaces the one before: the last one counts
    }
    return text;
}

} // namespace

// The host-name lookup rather than getaddrinfo: getaddrinfo sorts the addresses (reachable ones first),
// so its last address would not be the last one the hosts file or the name server lists. A dotted
// address is read as a number by the lookup itself, without asking any name server.
std::string resolve_host_text(std::string_view host) {
    if (host.empty()) return {};
    const std::string name(host);
    std::vector<char> room(FIRST_ANSWER_ROOM);
    hostent entry{};
    hostent* found = nullptr;
    int lookup_error = 0;
    int status = 0;
    while ((status = gethostbyname_r(name.c_str(), &entry, room.data(), room.size(), &found, &lookup_error)) ==
               ERANGE &&
           room.size() < MOST_ANSWER_ROOM)
        room.resize(room.size() * 2);
    if (status != 0 || found == nullptr) return {};
    return last_address_text(*found);
}

} // namespace lum
