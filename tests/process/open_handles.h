// tests/process/open_handles.h: how many handles (Windows) or file descriptors (POSIX) this process holds open.
#pragma once

#include <cstdint>
#include <string>

namespace lum::testing_support {

// Opens, once, the handles that the system's own libraries open on first use and keep for the life
// of the process, so that they are in the count before the first test and not taken for a leak.
void open_lasting_system_handles();

// The number of open handles or descriptors; -1 when the system will not say.
std::int64_t count_open_handles();

// What the count counts, for the message that reports it.
std::string open_handles_measure();

} // namespace lum::testing_support
