// runtime/process/posix/environment.cpp: environment variables of the running program.
#include <cstdlib>
#include <string>

#include "runtime/process/process.h"

namespace lum {

std::string environment_value(std::string_view name) {
    const std::string key(name);
    const char* value = std::getenv(key.c_str());
    return value ? std::string(value) : std::string();
}

} // namespace lum
