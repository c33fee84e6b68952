// server/http/shared_body.h: an answer made once and sent to every caller without copying (the download file).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct MHD_Response;

namespace lumresults {

struct SharedBody {
    MHD_Response* response = nullptr; // the library counts its own references; queued as it is
    std::uint64_t size = 0;
    int fd = -1; // the unnamed file behind it, open as long as the response is: others may read it too
    SharedBody() = default;
    SharedBody(const SharedBody&) = delete;
    SharedBody& operator=(const SharedBody&) = delete;
    ~SharedBody();
};

// size bytes from the system's random source in an unnamed file in `directory` (a memory file where the
// file system has no unnamed files), sent with sendfile() by the library: random, so that no compression on
// the way makes the line look faster than it is.
std::shared_ptr<SharedBody> make_random_body(std::uint64_t size,
                                             const std::vector<std::pair<std::string, std::string>>& headers,
                                             const std::filesystem::path& directory);

} // namespace lumresults
