// tests/lab/hostile_mounts_win32.cpp: Windows has no small file system to mount for a test; those tests run on Linux.
#include "hostile_mounts.h"

namespace lum::lab {

SmallFileSystem::SmallFileSystem(const std::filesystem::path& folder, std::size_t, Mode) : folder_(folder) {
    why_not_ = "a small file system is mounted only on Linux";
}

SmallFileSystem::~SmallFileSystem() = default;

} // namespace lum::lab
