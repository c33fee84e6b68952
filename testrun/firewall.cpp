// testrun/firewall.cpp: the firewall command, left to run on its own, and the firewall put back after the tests.
#include "testrun/firewall.h"

#include "runtime/process/process.h"

namespace lum {

void switch_firewall_off(RunState& state, FirewallSettings& settings) {
    for (std::size_t at = 0; at < FIREWALL_PROFILES.size(); ++at)
        state.FirewallWasOn[at] = settings.is_on(FIREWALL_PROFILES[at]).value_or(false);
    launch_program("netsh", "firewall set opmode disable", state.TempDir, Hide);
}

void put_firewall_back(const RunState& state, FirewallSettings& settings) {
    for (std::size_t at = 0; at < FIREWALL_PROFILES.size(); ++at) {
        if (state.FirewallWasOn[at]) settings.switch_on(FIREWALL_PROFILES[at]);
    }
}

} // namespace lum
