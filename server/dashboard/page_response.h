// server/dashboard/page_response.h: the dashboard's and the API's answers, each with the headers that keep a
// browser from running, framing, caching or guessing at what it shows.
#pragma once

#include <string>
#include <string_view>

#include "server/http/request.h"
#include "server/http/response.h"
#include "server/dashboard/page_headers.h"
#include "server/dashboard/render.h"

namespace lumresults::dashboard {

// An HTML page rendered from templates/NAME.mustache, with the signed-in user's name and form token.
Response page(unsigned status, std::string_view template_name, PageData data, const Request& request);

// A short page that says what went wrong ("Not found", "This report does not exist.").
Response message_page(unsigned status, std::string_view heading, std::string_view text, const Request& request);

Response json_response(unsigned status, std::string body);
// {"error": text}
Response json_error(unsigned status, std::string_view text);

// The exact bytes, for saving: Content-Disposition attachment with this file name.
Response attachment(std::string body, std::string_view content_type, std::string_view file_name);

} // namespace lumresults::dashboard
