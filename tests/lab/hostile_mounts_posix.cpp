// tests/lab/hostile_mounts_posix.cpp: a tmpfs mounted over a test's folder, inside the test's own mount namespace.
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include "hostile_mounts.h"

namespace lum::lab {

SmallFileSystem::SmallFileSystem(const std::filesystem::path& folder, std::size_t bytes, Mode mode) : folder_(folder) {
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    const unsigned long flags = MS_NOSUID | MS_NODEV | (mode == ReadOnly ? MS_RDONLY : 0);
    mounted_ = ::mount("lumtest", folder.c_str(), "tmpfs", flags, options.c_str()) == 0;
    if (!mounted_) why_not_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
}

// Lazily, so that a file a stand-in still holds open cannot keep the mount (and the scratch folder) alive.
SmallFileSystem::~SmallFileSystem() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
}

} // namespace lum::lab
