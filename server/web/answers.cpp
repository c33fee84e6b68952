// server/web/answers.cpp: JSON and attachments, each with the page headers.
#include "server/web/answers.h"

#include <nlohmann/json.hpp>

#include "server/web/display_text.h"
#include "server/web/page_headers.h"

namespace lumresults {

Response json_response(unsigned status, std::string body) {
    Response response = Response::text(status, std::move(body) + "\n", "application/json");
    add_page_headers(response);
    return response;
}

Response json_error(unsigned status, std::string_view text) {
    return json_response(status, nlohmann::json{{"error", utf8_text(text)}}.dump());
}

Response attachment(std::string body, std::string_view content_type, std::string_view file_name) {
    Response response = Response::text(200, std::move(body), std::string(content_type));
    response.headers.emplace_back("Content-Disposition", "attachment; filename=\"" + std::string(file_name) + "\"");
    add_page_headers(response);
    return response;
}

} // namespace lumresults
