// testrun/startup_check.h: the check that the computer is online and belongs to one of the operator's customers.
#pragma once

#include "testrun/run_state.h"

namespace lum {

inline constexpr std::string_view NETWORK_PROBLEM_MESSAGE =
    "Network problem, Please check your connection or call (00)5550-0199";
inline constexpr std::string_view NOT_CUSTOMER_MESSAGE = "You are not Lumora customer";

// True when the run may go on. On false the user has been shown why, and the program must end.
bool passes_startup_check(RunState& state);

} // namespace lum
