// runtime/files/posix/folder_names.cpp: the folders the environment names; POSIX names are bytes, used as they are.
#include <cstdlib>
#include <string>

#include "runtime/files/files.h"

namespace lum {

std::string system_temp_folder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

std::optional<std::string> environment_folder(std::string_view name) {
    const std::string key(name);
    const char* value = std::getenv(key.c_str());
    return value != nullptr ? std::string(value) : std::string();
}

} // namespace lum
