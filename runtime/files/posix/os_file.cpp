// runtime/files/posix/os_file.cpp: the file calls of the buffered text files, on POSIX descriptors.
#include "runtime/files/os_file.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "runtime/files/files.h"

namespace lum {
namespace {

// Descriptor 0 would read as "not open", and 1 and 2 belong to the console: a file opened while they
// are closed moves up to 3 or above.
int above_standard_streams(int fd) {
    if (fd < 0 || fd > 2) return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

// The program's paths are Windows paths; there is no sharing mode to ask for on POSIX.
std::intptr_t open_file(std::string_view path, int flags) {
    const std::string native = posix_path(path);
    int fd = 0;
    do {
        fd = ::open(native.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    fd = above_standard_streams(fd);
    return fd < 0 ? 0 : fd;
}

} // namespace

OsFile OsFile::create_read_write(std::string_view path) { return OsFile(open_file(path, O_RDWR | O_CREAT | O_TRUNC)); }

// Reached when the file exists but cannot be opened for reading, e.g. a write-only file.
OsFile OsFile::truncate_existing(std::string_view path) { return OsFile(open_file(path, O_WRONLY | O_TRUNC)); }

OsFile OsFile::open_read(std::string_view path) { return OsFile(open_file(path, O_RDONLY)); }

OsFile OsFile::open_write_keep(std::string_view path) { return OsFile(open_file(path, O_WRONLY | O_CREAT)); }

std::int32_t OsFile::read(char* into, std::int32_t size) {
    if (!is_open() || size <= 0) return 0;
    ssize_t got = 0;
    do {
        got = ::read(static_cast<int>(file_.get()), into, static_cast<std::size_t>(size));
    } while (got < 0 && errno == EINTR);
    return got < 0 ? 0 : static_cast<std::int32_t>(got);
}

// Unlike WriteFile, write() may take only part of the bytes; the rest is written until an error stops it.
std::int32_t OsFile::write(const char* from, std::int32_t size) {
    std::int32_t done = 0;
    while (is_open() && done < size) {
        const ssize_t written =
            ::write(static_cast<int>(file_.get()), from + done, static_cast<std::size_t>(size - done));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        done += static_cast<std::int32_t>(written);
    }
    return done;
}

void OsFile::move_back(std::int32_t count) {
    if (is_open()) ::lseek(static_cast<int>(file_.get()), -static_cast<off_t>(count), SEEK_CUR);
}

void OsFile::Kind::free(std::intptr_t handle) { ::close(static_cast<int>(handle)); }

} // namespace lum

namespace lum {

char path_separator() { return '/'; }

} // namespace lum
