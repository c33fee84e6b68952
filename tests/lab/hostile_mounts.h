// tests/lab/hostile_mounts.h: small file systems mounted for a test (a full disk, a read-only folder), and a current
// folder.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace lum::lab {

// A tmpfs of `bytes` over `folder` for the life of the object, in the test's own mount namespace
// (the test binary runs in one, see tests/support/in-own-network). Not mounted where the platform or
// the test's rights do not allow it; why_not() says why.
class SmallFileSystem {
public:
    enum Mode { Writable, ReadOnly };
    SmallFileSystem(const std::filesystem::path& folder, std::size_t bytes, Mode mode = Writable);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& why_not() const { return why_not_; }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
    std::string why_not_;
};

// The process's current folder is `folder` for the life of the object.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::filesystem::path& folder) : saved_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~CurrentFolder() { std::filesystem::current_path(saved_); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::filesystem::path saved_;
};

} // namespace lum::lab
