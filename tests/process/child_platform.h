// tests/process/child_platform.h: the few things the runner's test child must ask its own platform.
#pragma once

#include <string>

namespace lum::child {

// Standard output must pass bytes unchanged: no LF to CR LF translation.
void use_binary_streams();

// The command line exactly as the child received it; "" where the platform has none.
std::string command_line();

// How the child was asked to show itself ("flags=... show=..."); "" where the platform has no such thing.
std::string startup_state();

int process_id();

} // namespace lum::child
