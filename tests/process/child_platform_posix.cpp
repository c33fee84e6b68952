// tests/process/child_platform_posix.cpp: the test child's view of its own POSIX process.
#include <unistd.h>

#include "child_platform.h"

namespace lum::child {

void use_binary_streams() {}

std::string command_line() { return {}; }

std::string startup_state() { return {}; }

int process_id() { return static_cast<int>(getpid()); }

} // namespace lum::child
