// runtime/net/http_request.h: the text of the HEAD request that the header fetch sends.
#pragma once

#include <string>
#include <string_view>

namespace lum {

// The request line for "/" + `path_and_query`, then Accept and Host, then the empty line.
std::string head_request(std::string_view path_and_query, std::string_view host);

} // namespace lum
