// tests/lab/changed_verdicts.cpp: verdict comparisons of the rules-change test's own, linked in place of the rules
// library's (rules/verdict_rules.cpp): Test 2 tolerates one lost echo more, Test 7 needs one packet fewer.
#include "rules/verdict_rules.h"

namespace lum {

bool connection_passed(std::int32_t lost_echoes) { return lost_echoes <= LOST_ECHOES_ALLOWED + 1; }
bool normal_ping_passed(std::int32_t lost_probes) { return lost_probes <= PROBE_TIMEOUTS_ALLOWED; }
bool large_ping_passed(std::int32_t lost_echoes) { return lost_echoes <= LOST_ECHOES_ALLOWED; }
bool multicast_passed(std::int32_t packets_received) { return packets_received >= PACKETS_NEEDED - 1; }

} // namespace lum
