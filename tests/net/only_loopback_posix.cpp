// tests/net/only_loopback_posix.cpp: on POSIX the echo leaves from the test's own network: its interfaces decide.
#include "only_loopback.h"

#include <ifaddrs.h>
#include <net/if.h>

namespace lum::testing_support {

bool echoes_stay_on_loopback() {
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) return false;
    bool only_loopback = true;
    for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next)
        if ((entry->ifa_flags & IFF_UP) != 0 && (entry->ifa_flags & IFF_LOOPBACK) == 0) only_loopback = false;
    freeifaddrs(interfaces);
    return only_loopback;
}

} // namespace lum::testing_support
