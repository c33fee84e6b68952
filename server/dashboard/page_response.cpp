// server/dashboard/page_response.cpp: the answers' headers, in one place for every support and API path.
#include "server/dashboard/page_response.h"

#include "server/dashboard/local_time.h"

#include <nlohmann/json.hpp>

#include "server/dashboard/display_text.h"

namespace lumresults::dashboard {

Response page(unsigned status, std::string_view template_name, PageData data, const Request& request) {
    if (request.principal && !request.principal->session_key.empty()) {
        data.set("user", request.principal->name);
        data.set("csrf", request.principal->csrf);
    }
    data.set("zone", time_zone_name()); // the pages' times are the operator's
    Response response = Response::text(status, render(template_name, std::move(data)), "text/html; charset=utf-8");
    add_page_headers(response);
    return response;
}

Response message_page(unsigned status, std::string_view heading, std::string_view text, const Request& request) {
    PageData data;
    data.set("title", std::string(heading));
    data.set("heading", std::string(heading));
    data.set("text", std::string(text));
    return page(status, "message", std::move(data), request);
}

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

} // namespace lumresults::dashboard
