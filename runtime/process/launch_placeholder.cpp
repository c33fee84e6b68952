// runtime/process/launch_placeholder.cpp: stand-in for the program runner until it lands: starts nothing.
#include "runtime/process/process.h"

namespace lum {

// PLACEHOLDER: reports every start as failed. Every caller tolerates a failed start (the firewall
// command's result is ignored), so the program's course is unchanged apart from the tool not running.
std::intptr_t launch_program(std::string_view, std::string_view, std::string_view, std::int32_t) { return 0; }

} // namespace lum
