// runtime/process/posix/unique_fd.h: a file descriptor owned by one object and closed with it.
#pragma once

#include <unistd.h>

#include "runtime/common/unique_resource.h"

namespace lum {

struct FdKind {
    using Native = int;
    static constexpr int none() { return -1; }
    static bool holds(int fd) { return fd >= 0; }
    static void free(int fd) { ::close(fd); }
};

using UniqueFd = UniqueResource<FdKind>;

} // namespace lum
