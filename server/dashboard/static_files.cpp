// server/dashboard/static_files.cpp: the dashboard's stylesheet and script, from the program itself.
#include <stdexcept>

#include "server/dashboard/embedded_files.h"
#include "server/dashboard/handlers.h"
#include "server/dashboard/row_colors.h"

namespace lumresults::dashboard {
namespace {

// Built into the program and changed only with it; an hour's caching spares every page load a request.
Response static_file(std::string body, const char* content_type) {
    Response response = Response::text(200, std::move(body), content_type);
    response.headers.emplace_back("Cache-Control", "public, max-age=3600");
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
    return response;
}

std::string embedded(std::string_view name) {
    const std::optional<std::string_view> bytes = embedded_file(name);
    if (!bytes) throw std::logic_error("not built in: " + std::string(name));
    return std::string(*bytes);
}

} // namespace

Response stylesheet(const Request&) {
    // The window's row colours end it, made from the program's own constants.
    static const std::string css = embedded("assets/support.css") + row_color_rules();
    return static_file(css, "text/css; charset=utf-8");
}

Response script(const Request&) {
    static const std::string js = embedded("assets/support.js");
    return static_file(js, "text/javascript; charset=utf-8");
}

} // namespace lumresults::dashboard
