// testrun/firewall.h: switching the Windows firewall off before the tests, so that it cannot skew them, and back on.
#pragma once

#include "runtime/system/firewall_settings.h"
#include "testrun/run_state.h"

namespace lum {

// Notes which profiles have the firewall on (FirewallWasOn), then starts the system's firewall command
// hidden and leaves it running; its result is not looked at.
void switch_firewall_off(RunState& state, FirewallSettings& settings);

// Switches the firewall back on for every profile it was on for before the command: the run must not
// leave the computer less safe than it found it. A profile that was off, or whose state could not be
// read, is left as it is; so is one whose switch is refused, and the run goes on.
void put_firewall_back(const RunState& state, FirewallSettings& settings);

} // namespace lum
