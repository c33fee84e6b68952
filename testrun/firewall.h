// testrun/firewall.h: switching the Windows firewall off before the tests, so that it cannot skew them.
#pragma once

#include "testrun/run_state.h"

namespace lum {

// Starts the system's firewall command hidden and leaves it running; its result is not looked at.
void switch_firewall_off(const RunState& state);

} // namespace lum
