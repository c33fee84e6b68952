// tests/lab/stand_in/platform_posix.cpp: the stand-in's view of its own POSIX process and of the journal lock.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>

#include "tests/lab/stand_in/platform.h"

namespace lum::lab {
namespace {

bool read_all(int fd, std::string& text) {
    if (lseek(fd, 0, SEEK_SET) != 0) return false;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof(buffer))) > 0)
        text.append(buffer, static_cast<std::size_t>(got));
    return got == 0;
}

bool write_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put <= 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

} // namespace

void use_binary_output() {}

std::string current_folder() {
    char folder[PATH_MAX];
    return getcwd(folder, sizeof(folder)) != nullptr ? folder : "";
}

// The default action, so that no handler (a sanitizer's) turns the crash into an orderly exit.
void crash_now() {
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
    std::_Exit(139);
}

std::string own_program_path() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

// The program's POSIX file service turns the separators the same way, so both see one file.
std::string local_path(const std::string& program_path) {
    std::string path = program_path;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// flock, not a lock on a byte range: the lock then belongs to this open file and ends with close.
bool append_under_lock(const std::string& path, const std::function<std::string(const std::string&)>& next_text) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::string text;
    const bool done = flock(fd, LOCK_EX) == 0 && read_all(fd, text) && write_all(fd, next_text(text));
    ::close(fd);
    return done;
}

} // namespace lum::lab
