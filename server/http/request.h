// server/http/request.h: what a handler sees of a request, free of the HTTP library.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/net/ip_address.h"
#include "server/common/roles.h"

namespace lumresults {

// Who a request on a Staff or Token route was let in as (filled by the server's gate).
struct Principal {
    std::string name;        // the staff member's user name, or the API token's name
    std::string session_key; // the session's key as stored (empty for a token)
    std::string csrf;        // the session's form token (empty for a token)
    Roles roles{};           // what the member of staff or the token's maker may do (none until given)
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
    // Two Content-Length lines that differ, or one beside Transfer-Encoding: where the body ends is
    // ambiguous, and a proxy in front may have read it otherwise (request smuggling), so it is refused.
    bool ambiguous_length = false;
    bool secure = false; // reached us over TLS (a trusted proxy said so in X-Forwarded-Proto)
    std::optional<Principal> principal;

    // The first value of a query argument, if the query has it.
    std::optional<std::string> query_value(std::string_view name) const;
};

} // namespace lumresults
