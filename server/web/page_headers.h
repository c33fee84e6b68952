// server/web/page_headers.h: the headers that keep a browser from running, framing, caching or guessing
// at what a dashboard or API answer shows.
#pragma once

#include "server/http/response.h"

namespace lumresults {

// Content-Security-Policy (no inline script or style anywhere), nosniff, no-store (unless the answer has
// its own Cache-Control), frame denial and referrer policy, added to a response.
void add_page_headers(Response& response);

} // namespace lumresults
