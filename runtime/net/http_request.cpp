// runtime/net/http_request.cpp: builds the HEAD request, apart from the connection that sends it.
#include "runtime/net/http_request.h"

namespace lum {

// Nothing but the request line, Accept and Host: the results server needs no more. The request is
// built in a text of its own size, so that no path or query is too long for it.
std::string head_request(std::string_view path_and_query, std::string_view host) {
    std::string request = "HEAD /";
    request += path_and_query;
    request += " HTTP/1.1\r\nAccept: */*\r\nHost: ";
    request += host;
    request += "\r\n\r\n";
    return request;
}

} // namespace lum
