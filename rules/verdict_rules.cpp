// rules/verdict_rules.cpp: the verdicts' comparisons. This file holds nothing else, so that a test binary can
// link its own comparisons in their place and see the program and the server follow them together.
#include "rules/verdict_rules.h"

namespace lum {

bool connection_passed(std::int32_t lost_echoes) { return lost_echoes <= LOST_ECHOES_ALLOWED; }

bool normal_ping_passed(std::int32_t lost_probes) { return lost_probes <= PROBE_TIMEOUTS_ALLOWED; }

bool large_ping_passed(std::int32_t lost_echoes) { return lost_echoes <= LOST_ECHOES_ALLOWED; }

bool multicast_passed(std::int32_t packets_received) { return packets_received >= PACKETS_NEEDED; }

} // namespace lum
