// runtime/net/http_head.cpp: the first block of a server's answer to a HEAD request.
#include <string>

#include "runtime/net/connection.h"
#include "runtime/net/http_request.h"
#include "runtime/net/net.h"
#include "runtime/net/url.h"

namespace lum {
namespace {

constexpr std::int32_t BLOCK = 1024;
constexpr std::int32_t PHASE_SECONDS = 30;

// One receive, as the server's first segment delivers it. A full block keeps 1023 bytes, and a zero
// byte ends the text early.
std::string first_block(Connection& connection) {
    std::string block(BLOCK, '\0');
    const std::int32_t got = receive_timed(connection, block.data(), BLOCK, PHASE_SECONDS);
    if (got <= 0) return {};
    block.resize(static_cast<std::size_t>(got < BLOCK ? got : BLOCK - 1));
    return block.substr(0, block.find('\0'));
}

} // namespace

std::string fetch_http_head(std::string_view url) {
    const std::optional<std::string> host = url_part(url, UrlPart::Host);
    if (!host) return {};
    ConnectionHandle connection = open_tcp_connection(*host, url_port_number(url));
    if (!connection) return {};
    const std::string request = head_request(url_part(url, UrlPart::PathAndQuery).value_or(""), *host);
    if (send_all_timed(*connection, request, PHASE_SECONDS) != 1) return {};
    return first_block(*connection);
}

} // namespace lum
