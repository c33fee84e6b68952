// tests/net/only_loopback_win32.cpp: on Windows the adapter list comes from the same network service as the echo.
#include "only_loopback.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <vector>

namespace lum::testing_support {

// Under Wine both the echo and this list are served by Wine's network service process, so the list
// shows the network the echo is sent from, even when that is not the test's own namespace.
bool echoes_stay_on_loopback() {
    ULONG size = 16 * 1024;
    std::vector<unsigned char> room(size);
    ULONG result = ERROR_BUFFER_OVERFLOW;
    while (result == ERROR_BUFFER_OVERFLOW) {
        room.resize(size);
        result = GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(room.data()), &size);
    }
    if (result == ERROR_NO_DATA) return true;
    if (result != NO_ERROR) return false;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(room.data()); adapter != nullptr;
         adapter = adapter->Next)
        if (adapter->OperStatus == IfOperStatusUp && adapter->IfType != IF_TYPE_SOFTWARE_LOOPBACK) return false;
    return true;
}

} // namespace lum::testing_support
