// server/http/shared_body.cpp: the download file: random bytes in an unnamed file, one response for all.
#include "server/http/shared_body.h"

#include <fcntl.h>
#include <microhttpd.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace lumresults {
namespace {

void fill_with_random_bytes(int fd, std::uint64_t size) {
    std::vector<char> block(1 << 16);
    for (std::uint64_t written = 0; written < size;) {
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - written));
        for (std::size_t got = 0; got < piece;) {
            const ssize_t n = getrandom(block.data() + got, piece - got, 0);
            if (n < 0) throw std::runtime_error("cannot read random bytes for the download file");
            got += static_cast<std::size_t>(n);
        }
        if (::write(fd, block.data(), piece) != static_cast<ssize_t>(piece))
            throw std::runtime_error("cannot write the download file");
        written += piece;
    }
}

// A file with no name, gone with the process. In a disk file system's page cache rather than a memory file:
// the kernel keeps such a file in large pages, which sendfile() walks for about three quarters of the CPU that
// a memory file's 4 KiB pages cost (measured by scripts/bench-server). Both stay in memory while they are
// read as often as this one; the disk file's pages are written out once, in the background.
int open_unnamed_file(const std::filesystem::path& directory) {
    const int fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    return memfd_create("lumresults-download", MFD_CLOEXEC);
}

} // namespace

SharedBody::~SharedBody() {
    if (response != nullptr) MHD_destroy_response(response);
}

std::shared_ptr<SharedBody> make_random_body(std::uint64_t size,
                                             const std::vector<std::pair<std::string, std::string>>& headers,
                                             const std::filesystem::path& directory) {
    const int fd = open_unnamed_file(directory);
    if (fd < 0) throw std::runtime_error("cannot make the download file in " + directory.string() + " or in memory");
    try {
        fill_with_random_bytes(fd, size);
    } catch (...) {
        ::close(fd);
        throw;
    }
    auto body = std::make_shared<SharedBody>();
    body->size = size;
    body->fd = fd;
    // From here the response owns the descriptor and closes it when the last reference goes.
    body->response = MHD_create_response_from_fd64(size, fd);
    if (body->response == nullptr) {
        ::close(fd);
        throw std::runtime_error("cannot make the download response");
    }
    for (const auto& [name, value] : headers)
        MHD_add_response_header(body->response, name.c_str(), value.c_str());
    return body;
}

} // namespace lumresults
