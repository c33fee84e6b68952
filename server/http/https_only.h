// server/http/https_only.h: what the plain listener answers for staff pages and the API once the server has an
// HTTPS listener of its own.
#pragma once

#include <cstdint>
#include <optional>

#include "server/http/request.h"
#include "server/http/response.h"

namespace lumresults {

// For a request that came in the clear: GET and HEAD are sent to the same page over HTTPS on `https_port`
// (permanently, so that a bookmark is mended), anything else is refused, since its body (a password, a
// cookie) has already crossed the network. The redirect names the host the request asked for; one
// without a usable Host line is refused too.
Response https_only_answer(const Request& request, std::uint16_t https_port);

// Answers that came over the server's own TLS tell browsers to come back only that way, for a year.
inline constexpr const char* HSTS_VALUE = "max-age=31536000";

} // namespace lumresults
