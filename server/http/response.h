// server/http/response.h: what a handler gives back, free of the HTTP library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lumresults {

// A body the server owns for its whole life and sends without copying (the download file).
struct SharedBody;

// A body made piece by piece as the client takes it, so that a large one is never whole in memory.
struct StreamedBody {
    std::uint64_t size = 0;
    // Writes the body's bytes from `offset` into `into` (at most `room` bytes, offset < size) and says how
    // many (at least 1); 0 ends the connection, the body unfinished. Called on the library's threads.
    std::function<std::size_t(std::uint64_t offset, char* into, std::size_t room)> fill;
};

struct Response {
    unsigned status = 200;
    std::vector<std::pair<std::string, std::string>> headers; // sent in this order, before any the library adds
    std::string body;
    std::shared_ptr<SharedBody> shared_body;   // when set, sent instead of body
    std::optional<StreamedBody> streamed_body; // or this, when set

    static Response text(unsigned status, std::string body, std::string content_type = "text/plain; charset=utf-8");
    static Response redirect(std::string location, unsigned status = 303);
};

} // namespace lumresults
