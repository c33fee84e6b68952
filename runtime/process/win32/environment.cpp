// runtime/process/win32/environment.cpp: environment variables of the running program, any length.
#include <windows.h>

#include <string>

#include "runtime/process/process.h"

namespace lum {

std::string environment_value(std::string_view name) {
    const std::string key(name);
    std::string value;
    DWORD needed = GetEnvironmentVariableA(key.c_str(), nullptr, 0);
    // Another thread may grow the variable between the two calls; ask again until it fits.
    while (needed > 0) {
        value.resize(needed);
        const DWORD written = GetEnvironmentVariableA(key.c_str(), value.data(), needed);
        if (written < needed) {
            value.resize(written);
            return value;
        }
        needed = written;
    }
    return {};
}

} // namespace lum
