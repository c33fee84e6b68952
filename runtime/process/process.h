// runtime/process/process.h: starting external programs, and reading the program's environment.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lum {

// Runner flags; bits combine.
enum RunnerFlag : std::int32_t {
    Wait = 1,     // return only after the program has ended
    Hide = 2,     // no visible window; without pipes, no console either
    Open = 4,     // keep the program: the result is a handle (Read, Write and Error need it)
    Read = 8,     // capture standard output
    Write = 16,   // feed standard input
    Error = 32,   // capture standard error
    Connect = 64, // standard input from another handle's output
};

// Starts `program` with `parameters` in `directory` (empty: the caller's own). Result: 0 on failure,
// 1 on success without Open.
std::intptr_t launch_program(std::string_view program, std::string_view parameters, std::string_view directory,
                             std::int32_t flags);

// The value of the environment variable `name`; "" when it is not set.
std::string environment_value(std::string_view name);

} // namespace lum
