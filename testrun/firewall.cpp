// testrun/firewall.cpp: starts the firewall command and leaves it to run on its own.
#include "testrun/firewall.h"

#include "runtime/process/process.h"

namespace lum {

void switch_firewall_off(const RunState& state) {
    launch_program("netsh", "firewall set opmode disable", state.TempDir, Hide);
}

} // namespace lum
