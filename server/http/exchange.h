// server/http/exchange.h: what a handler sees of a request and what it gives back, free of the HTTP library.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/http/caller_address.h"

namespace lumresults {

struct Request {
    std::string method;
    std::string path;                                                   // without the query
    std::vector<std::string> query_keys;                                // the query's argument names, in order
    IpAddress peer;                                                     // the TCP peer
    IpAddress caller;                                                   // as decide_caller() names it
    std::function<std::optional<std::string>(std::string_view)> header; // first value, name in any case
    std::optional<std::uint64_t> content_length;
};

// A body the server owns for its whole life and sends without copying (the download file).
struct SharedBody;

struct Response {
    unsigned status = 200;
    std::vector<std::pair<std::string, std::string>> headers; // sent in this order, before any the library adds
    std::string body;
    std::shared_ptr<SharedBody> shared_body; // when set, sent instead of body

    static Response text(unsigned status, std::string body, std::string content_type = "text/plain; charset=utf-8");
};

// A request body read as it arrives. refusal() (asked once the headers are in) and feed() may end the
// exchange early with an answer; then nothing more is fed and finish() is not called.
class BodyReceiver {
public:
    virtual ~BodyReceiver() = default;
    virtual std::optional<Response> refusal() { return std::nullopt; }
    virtual std::optional<Response> feed(std::string_view bytes) = 0;
    // The whole body has arrived.
    virtual Response finish() = 0;
};

} // namespace lumresults
