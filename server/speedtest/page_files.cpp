// server/speedtest/page_files.cpp: the speed-test page and its files, from the program itself.
#include <stdexcept>
#include <string>

#include "server/speedtest/embedded_files.h"
#include "server/speedtest/handlers.h"

namespace lumresults::speedtest {
namespace {

std::string embedded(std::string_view name) {
    const std::optional<std::string_view> bytes = embedded_file(name);
    if (!bytes) throw std::logic_error("not built in: " + std::string(name));
    return std::string(*bytes);
}

// Revalidated on every load (no-cache) rather than kept: a page from an older server would measure with
// the newer server's paths.
Response asset(std::string_view name, const char* content_type) {
    Response response = Response::text(200, embedded(name), content_type);
    response.headers.emplace_back("Cache-Control", "no-cache");
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
    return response;
}

// The page with this caller's result token in its place. The token is letters, digits, '-', '_' and '.'
// alone, so it needs no escaping in the attribute.
std::string page_with_token(std::string_view token) {
    static const std::string html = embedded("index.html");
    static constexpr std::string_view PLACE = "{{result_token}}";
    const std::size_t at = html.find(PLACE);
    if (at == std::string::npos) throw std::logic_error("index.html has no place for the result token");
    return html.substr(0, at) + std::string(token) + html.substr(at + PLACE.size());
}

} // namespace

// Script, style and the worker only from this server, nothing inline, nothing framing the page. Never
// stored on the way (no-store): the token in it is the caller's alone.
Response page(SpeedTestSite& site, const Request& request) {
    const std::string token = site.tokens.issue(format_address(request.caller), Clock::now());
    Response response = Response::text(200, page_with_token(token), "text/html; charset=utf-8");
    response.headers.emplace_back("Content-Security-Policy",
                                  "default-src 'none'; script-src 'self'; worker-src 'self'; style-src 'self'; "
                                  "connect-src 'self'; img-src 'self'; base-uri 'none'; form-action 'none'; "
                                  "frame-ancestors 'none'");
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
    response.headers.emplace_back("Referrer-Policy", "same-origin");
    response.headers.emplace_back("Cache-Control", "no-store");
    return response;
}

Response script(const Request&) { return asset("speedtest.js", "text/javascript; charset=utf-8"); }
Response stylesheet(const Request&) { return asset("speedtest.css", "text/css; charset=utf-8"); }
Response rates(const Request&) { return asset("rates.js", "text/javascript; charset=utf-8"); }
Response worker(const Request&) { return asset("worker.js", "text/javascript; charset=utf-8"); }

} // namespace lumresults::speedtest
