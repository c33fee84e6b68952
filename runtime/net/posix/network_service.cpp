// runtime/net/posix/network_service.cpp: network start and stop on POSIX, where the sockets need no start-up.
#include "runtime/net/net.h"
#include "runtime/net/network_service.h"

namespace lum {

// POSIX sockets are ready in every process, so there is nothing to start, remember or release.
bool network_start() { return true; }

void network_stop() {}

bool network_ipv6_capable() { return true; }

} // namespace lum
