// runtime/files/posix_path.cpp: Windows-style paths of the program turned into POSIX paths.
#include "runtime/files/files.h"

#include <algorithm>

namespace lum {

// Only the separators change; a drive prefix such as "C:" has no POSIX meaning and is left as it is.
std::string posix_path(std::string_view windows_path) {
    std::string path(windows_path);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

} // namespace lum
