// runtime/system/posix/run_claim.cpp: the run's claim as a name in Linux's abstract socket namespace.
#include "runtime/system/run_claim.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace lum {

// An abstract name is no file: nothing is left behind, and the kernel frees it with the last
// descriptor, however the process ends. It belongs to the network namespace, so the end-to-end runs,
// each in a namespace of its own, do not see one another. Not inherited by the tools the run starts.
RunClaim claim_run(std::string_view name) {
    const int socket_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket_fd < 0) return RunClaim(RunClaim::Kind::none(), false);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::min(name.size(), sizeof(address.sun_path) - 1);
    std::memcpy(address.sun_path + 1, name.data(), length); // sun_path[0] stays 0: the abstract namespace
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (::bind(socket_fd, reinterpret_cast<const sockaddr*>(&address), size) == 0) return RunClaim(socket_fd, false);
    const int error = errno;
    ::close(socket_fd);
    return RunClaim(RunClaim::Kind::none(), error == EADDRINUSE);
}

void RunClaim::Kind::free(std::intptr_t handle) { ::close(static_cast<int>(handle)); }

} // namespace lum
