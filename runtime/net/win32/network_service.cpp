// runtime/net/win32/network_service.cpp: network start and stop on Windows: Windows Sockets 1.1 and the IPv6 lookups.
#include <winsock2.h>
#include <windows.h>

#include "runtime/net/net.h"
#include "runtime/net/network_service.h"

namespace lum {
namespace {

// Kept from network_start to network_stop; the program has one thread, so no lock guards it.
struct NetworkState {
    bool started = false;              // WSAStartup succeeded and is owed one WSACleanup
    HMODULE sockets_library = nullptr; // ws2_32.dll, loaded to ask for the IPv6 lookup calls
    bool ipv6_capable = false;
};

NetworkState network_state;

// The IPv6 lookup calls arrived with later versions of the sockets library, so they are looked for
// at run time rather than linked: a system without them still does all its IPv4 work.
bool has_ipv6_lookups(HMODULE library) {
    return GetProcAddress(library, "getaddrinfo") != nullptr && GetProcAddress(library, "freeaddrinfo") != nullptr &&
           GetProcAddress(library, "getnameinfo") != nullptr;
}

} // namespace

// A second call changes nothing that already succeeded, so that one network_stop always balances it.
bool network_start() {
    if (!network_state.started) {
        WSADATA details{};
        network_state.started = WSAStartup(MAKEWORD(1, 1), &details) == 0;
    }
    if (network_state.sockets_library == nullptr) {
        network_state.sockets_library = LoadLibraryA("ws2_32.dll");
        network_state.ipv6_capable =
            network_state.sockets_library != nullptr && has_ipv6_lookups(network_state.sockets_library);
    }
    return network_state.started;
}

// The program creates no network servers, so there are none to close here.
void network_stop() {
    if (network_state.started) WSACleanup();
    if (network_state.sockets_library != nullptr) FreeLibrary(network_state.sockets_library);
    network_state = NetworkState{};
}

bool network_ipv6_capable() { return network_state.ipv6_capable; }

} // namespace lum
