// server/http/response.cpp: the plain answers every handler makes: text, and a redirect.
#include "server/http/response.h"

namespace lumresults {

Response Response::text(unsigned status, std::string body, std::string content_type) {
    Response response;
    response.status = status;
    response.headers.emplace_back("Content-Type", std::move(content_type));
    response.body = std::move(body);
    return response;
}

Response Response::redirect(std::string location, unsigned status) {
    Response response = text(status, "see " + location + "\n");
    response.headers.emplace_back("Location", std::move(location));
    response.headers.emplace_back("Cache-Control", "no-store");
    return response;
}

} // namespace lumresults
