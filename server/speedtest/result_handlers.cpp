// server/speedtest/result_handlers.cpp: the page's result kept with the caller's address and the server's time,
// and the results as JSON for the operator's own programs.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include <nlohmann/json.hpp>

#include "server/http/cross_site.h"
#include "server/http/form_body.h"
#include "server/speedtest/handlers.h"

#include "server/common/blanks.h"
#include "server/web/access_audit.h"
#include "server/web/display_text.h"
#include "server/web/answers.h"
#include "server/web/search_query.h"
#include "server/web/utc_time.h"

namespace lumresults::speedtest {
namespace {

using nlohmann::json;

constexpr std::size_t MOST_RESULT_BYTES = 4 * 1024;
// Where the page's script sends the token it read from the page.
constexpr std::string_view RESULT_TOKEN_HEADER = "X-Result-Token";
constexpr std::size_t MOST_USER_AGENT_BYTES = 512;
constexpr double MOST_FIGURE = 100000;

// A figure the page sent: a number from 0 to MOST_FIGURE, or null when its phase failed. The field must be
// there, so that a page that forgot one is found out rather than stored as a failure.
bool read_figure(const json& body, const char* name, std::optional<double>& figure, std::string& error) {
    const auto found = body.find(name);
    if (found != body.end() && found->is_null()) return true;
    if (found == body.end() || !found->is_number() || !std::isfinite(found->get<double>()) ||
        found->get<double>() < 0 || found->get<double>() > MOST_FIGURE) {
        error = std::string(name) + " must be a number from 0 to 100000, or null";
        return false;
    }
    figure = found->get<double>();
    return true;
}

bool is_json_type(std::string_view type) {
    type = trim_blanks(type.substr(0, type.find(';')));
    constexpr std::string_view JSON_TYPE = "application/json";
    return type.size() == JSON_TYPE.size() &&
           std::equal(type.begin(), type.end(), JSON_TYPE.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// A page of another site may post to any address, but only a "simple" request (a form's or plain text's
// type) without asking first; JSON, which this path takes alone, needs the browser to ask, and nothing
// here ever says yes. A browser names the page's site in Origin: another site's is refused as well. And
// the result must carry the token this server put in the page it gave this caller, which no other
// site's page can read (see token_refusal).
std::optional<Response> cross_site_refusal(const Request& request) {
    if (!is_json_type(request.header("Content-Type").value_or("")))
        return json_error(415, "the result must be sent as application/json");
    if (from_another_site(request)) return json_error(403, "results are taken only from this site's own page");
    return std::nullopt;
}

std::optional<Response> token_refusal(TokenCheck verdict) {
    switch (verdict) {
    case TokenCheck::good: return std::nullopt;
    case TokenCheck::expired: return json_error(403, "the page's result token has expired: reload the page");
    case TokenCheck::wrong: break;
    }
    return json_error(403, "a result needs the token its page was given, for this address: reload the page");
}

std::optional<std::string> read_result(std::string_view body, NewSpeedTest& test) {
    const json parsed = json::parse(body, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) return "the result must be a JSON object";
    std::string error;
    if (!read_figure(parsed, "download_mbps", test.download_mbps, error) ||
        !read_figure(parsed, "upload_mbps", test.upload_mbps, error) ||
        !read_figure(parsed, "latency_ms", test.latency_ms, error) ||
        !read_figure(parsed, "jitter_ms", test.jitter_ms, error))
        return error;
    return std::nullopt;
}

// A token keeps one result, on whichever instance it arrives first; the answer gives the page the token
// for its next run ("Test again"), as loading the page again would.
Response store_result(SpeedTestSite& site, const Request& request, std::string_view body) {
    if (std::optional<Response> refusal = cross_site_refusal(request)) return *refusal;
    NewSpeedTest test;
    test.caller = format_address(request.caller);
    const CheckedToken token =
        site.tokens.check(request.header(RESULT_TOKEN_HEADER).value_or(""), test.caller, Clock::now());
    if (std::optional<Response> refusal = token_refusal(token.verdict)) return *refusal;
    if (const std::optional<std::string> error = read_result(body, test)) return json_error(400, *error);
    test.received = Clock::now();
    test.user_agent = request.header("User-Agent").value_or("").substr(0, MOST_USER_AGENT_BYTES);
    // Durable before acknowledged: put_speed_test returns once the row is on stable storage.
    const std::optional<std::int64_t> id = site.store.put_speed_test(test, token.spent);
    if (!id) return json_error(409, "this page's result is already kept: reload the page to test again");
    return json_response(200, json{{"id", *id},
                                   {"address", test.caller},
                                   {"received", utc_time_iso(test.received)},
                                   {"token", site.tokens.issue(test.caller, test.received)}}
                                  .dump());
}

json figure_json(const std::optional<double>& figure) { return figure ? json(*figure) : json(nullptr); }

json speed_test_json(const SpeedTest& test) {
    return json{{"id", test.id},
                {"received", utc_time_iso(test.received)},
                {"caller", test.caller},
                {"user_agent", utf8_text(test.user_agent)},
                {"download_mbps", figure_json(test.download_mbps)},
                {"upload_mbps", figure_json(test.upload_mbps)},
                {"latency_ms", figure_json(test.latency_ms)},
                {"jitter_ms", figure_json(test.jitter_ms)}};
}

} // namespace

std::unique_ptr<BodyReceiver> receive_result(SpeedTestSite& site, const Request& request) {
    return receive_small_body(request, MOST_RESULT_BYTES, [&site](const Request& asked, std::string_view body) {
        return store_result(site, asked, body);
    });
}

// The reports API's query (ip, match, from, to, limit); its paging and test filter have no meaning here.
Response api_speed_tests(SpeedTestSite& site, const Request& request) {
    const std::optional<std::size_t> limit = read_api_limit(request);
    if (!limit) return json_error(400, "limit must be a number from 1 to 1000");
    if (request.query_value("failed") || request.query_value("after"))
        return json_error(400, "speed tests are searched by ip, match, from, to and limit only");
    const SearchQuery query = read_search_query(request, *limit);
    if (!query.error.empty()) return json_error(400, query.error);
    const SpeedTestSearch search{query.search.caller, query.search.caller_prefix, query.search.since,
                                 query.search.until, *limit};
    json rows = json::array();
    for (const SpeedTest& test : site.store.search_speed_tests(search))
        rows.push_back(speed_test_json(test));
    audit_search(site.store, request, "speed tests listed", query.form);
    return json_response(200, json{{"speedtests", std::move(rows)}}.dump());
}

} // namespace lumresults::speedtest
