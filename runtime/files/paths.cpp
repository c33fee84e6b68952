// runtime/files/paths.cpp: paths joined with the platform's separator, and Windows-style paths made POSIX.
#include "runtime/files/files.h"

#include <algorithm>

namespace lum {

// Only the separators change; a drive prefix such as "C:" has no POSIX meaning and is left as it is.
std::string posix_path(std::string_view windows_path) {
    std::string path(windows_path);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string join_path(std::string_view folder, std::string_view name) {
    std::string path(folder);
    path += path_separator();
    path += name;
    if (path_separator() != '\\') std::replace(path.begin() + static_cast<std::ptrdiff_t>(folder.size()), path.end(), '\\', path_separator());
    return path;
}

} // namespace lum
