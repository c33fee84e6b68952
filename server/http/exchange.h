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

// Who a request on a Staff or Token route was let in as (filled by the server's gate).
struct Principal {
    std::string name;        // the staff member's user name, or the API token's name
    std::string session_key; // the session's key as stored (empty for a token)
    std::string csrf;        // the session's form token (empty for a token)
};

struct Request {
    std::string method;
    std::string path;                                                   // without the query, percent-escapes undone
    std::vector<std::string> query_keys;                                // the query's argument names, in order
    std::vector<std::pair<std::string, std::string>> query;             // names and values, escapes undone, in order
    IpAddress peer;                                                     // the TCP peer
    IpAddress caller;                                                   // as decide_caller() names it
    std::function<std::optional<std::string>(std::string_view)> header; // first value, name in any case
    std::optional<std::uint64_t> content_length;
    bool secure = false; // reached us over TLS (a trusted proxy said so in X-Forwarded-Proto)
    std::optional<Principal> principal;

    // The first value of a query argument, if the query has it.
    std::optional<std::string> query_value(std::string_view name) const;
};

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
