// runtime/net/network_service.h: what network_start leaves behind for the connection layer.
#pragma once

namespace lum {

// True when the IPv6 lookup calls (getaddrinfo, freeaddrinfo, getnameinfo) can be used. On Windows
// they are looked up in ws2_32.dll by network_start and the answer holds until network_stop; on POSIX
// they belong to the C library and are always there.
bool network_ipv6_capable();

} // namespace lum
