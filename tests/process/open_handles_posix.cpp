// tests/process/open_handles_posix.cpp: open file descriptors, counted from the entries of /proc/self/fd.
#include <dirent.h>

#include "open_handles.h"

namespace lum::testing_support {

// The C library keeps no descriptor open behind a call the tests make.
void open_lasting_system_handles() {}

// The directory stream holds a descriptor of its own while it is read; it is not counted, so that the
// count is the same whoever asks.
std::int64_t count_open_handles() {
    DIR* listing = opendir("/proc/self/fd");
    if (listing == nullptr) return -1;
    const int own = dirfd(listing);
    std::int64_t count = 0;
    while (const dirent* entry = readdir(listing)) {
        if (entry->d_name[0] == '.') continue;
        if (std::stoi(entry->d_name) != own) ++count;
    }
    closedir(listing);
    return count;
}

std::string open_handles_measure() { return "file descriptors in /proc/self/fd"; }

} // namespace lum::testing_support
