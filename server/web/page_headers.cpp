// server/web/page_headers.cpp: the headers every dashboard and API answer carries, refusals included.
#include "server/web/page_headers.h"

namespace lumresults {

void add_page_headers(Response& response) {
    response.headers.emplace_back("Content-Security-Policy",
                                  "default-src 'none'; style-src 'self'; script-src 'self'; img-src 'self'; "
                                  "form-action 'self'; frame-ancestors 'none'; base-uri 'none'");
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
    response.headers.emplace_back("Referrer-Policy", "same-origin");
    response.headers.emplace_back("X-Frame-Options", "DENY");
    for (const auto& [name, value] : response.headers)
        if (name == "Cache-Control") return;
    response.headers.emplace_back("Cache-Control", "no-store");
}

} // namespace lumresults
