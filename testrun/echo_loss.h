// testrun/echo_loss.h: Tests 2 and 5: one ping run and the echoes it lost, in any display language.
#pragma once

#include <cstdint>
#include <string_view>

#include "testrun/run_state.h"

namespace lum {

// Runs ping with `arguments` as a step of the current test (its lines logged) and gives the echoes lost
// of the `sent` it sends. A ping that cannot be started counts nothing; one that starts and prints no
// reply has lost them all.
std::int32_t run_ping(const RunState& state, std::string_view arguments, std::int32_t sent);

} // namespace lum
