// testrun/startup_check.h: the check that the computer is online and belongs to one of the operator's customers.
#pragma once

#include <string>
#include <string_view>

#include "rules/customer_blocks.h"
#include "testrun/run_state.h"

namespace lum {

inline constexpr std::string_view NETWORK_PROBLEM_MESSAGE =
    "Network problem, Please check your connection or call (00)5550-0199";
inline constexpr std::string_view NOT_CUSTOMER_MESSAGE = "You are not Lumora customer";

// True when the run may go on: a reply from the public resolver, a public address from the results
// server, and an address in one of the operator's blocks; PublicIp and the multicast exclusion flags
// are set. On false the user has been shown why, and the program must end: nothing is written yet.
bool passes_startup_check(RunState& state);

// The address of the answer's last "Client-IP-Address" line that comes before a "Network" line and
// before the answer's end; "" when there is none.
std::string public_address_from(std::string_view header);

// Subscribers of two of the blocks do not take the multicast test: their flags are set by PublicIp.
void set_multicast_exclusions(RunState& state);

} // namespace lum
