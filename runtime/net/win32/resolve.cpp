// runtime/net/win32/resolve.cpp: a host name or dotted address to the dotted text of its last IPv4 address.
#include <winsock2.h>
#include <windows.h>

#include <cstring>

#include "runtime/net/addresses.h"
#include "runtime/net/net.h"

namespace lum {
namespace {

// Windows Sockets started for one lookup alone and cleaned up with it; the library counts start-ups,
// so this neither needs nor disturbs the program-wide start of network_start.
class WinsockUse {
public:
    WinsockUse() {
        WSADATA details{};
        started_ = WSAStartup(MAKEWORD(1, 1), &details) == 0;
    }
    WinsockUse(const WinsockUse&) = delete;
    WinsockUse& operator=(const WinsockUse&) = delete;
    ~WinsockUse() {
        if (started_) WSACleanup();
    }
    bool started() const { return started_; }

private:
    bool started_ = false;
};

} // namespace

// gethostbyname takes a dotted address as well and gives it back as its one address, so dotted text
// needs no path of its own.
std::string resolve_host_text(std::string_view host) {
    if (host.empty()) return {};
    const WinsockUse winsock;
    if (!winsock.started()) return {};
    const hostent* entry = gethostbyname(std::string(host).c_str());
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4) return {};
    std::string text;
    for (char** address = entry->h_addr_list; *address != nullptr; ++address) {
        std::array<unsigned char, 4> bytes{};
        std::memcpy(bytes.data(), *address, bytes.size());
        text = dotted_text(bytes); // each address replaces the one before: the last one counts
    }
    return text;
}

} // namespace lum
