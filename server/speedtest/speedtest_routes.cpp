// server/speedtest/speedtest_routes.cpp: the speed test's route table; only the results' API needs a token.
#include "server/speedtest/speedtest_routes.h"

#include "server/speedtest/handlers.h"

namespace lumresults::speedtest {

std::vector<Route> speedtest_routes(SpeedTestSite& site) {
    const std::vector<std::string_view> get{"GET", "HEAD"};
    const auto with_site = [&site](Response (*handler)(SpeedTestSite&, const Request&)) {
        return [&site, handler](const Request& request) { return handler(site, request); };
    };
    const auto receiving = [&site](std::unique_ptr<BodyReceiver> (*handler)(SpeedTestSite&, const Request&)) {
        return [&site, handler](const Request& request) { return handler(site, request); };
    };
    std::vector<Route> routes;
    routes.push_back(quick({"speedtest", get, "/", "lumnettest", Access::Anyone, with_site(&page), {}}));
    routes.push_back(quick({"speedtest-js", get, "/speedtest/speedtest.js", {}, Access::Anyone, &script, {}}));
    routes.push_back(quick({"speedtest-css", get, "/speedtest/speedtest.css", {}, Access::Anyone, &stylesheet, {}}));
    routes.push_back(quick({"speedtest-rates", get, "/speedtest/rates.js", {}, Access::Anyone, &rates, {}}));
    routes.push_back(quick({"speedtest-worker", get, "/speedtest/worker.js", {}, Access::Anyone, &worker, {}}));
    routes.push_back(quick({"speedtest-ping", get, "/speedtest/ping", {}, Access::Anyone, &ping, {}}));
    routes.push_back(
        quick({"speedtest-download", get, "/speedtest/download", {}, Access::Anyone, with_site(&download), {}}));
    routes.push_back(
        quick({"speedtest-upload", {"POST"}, "/speedtest/upload", {}, Access::Anyone, {}, receiving(&receive_upload)}));
    routes.push_back(
        {"speedtest-result", {"POST"}, "/speedtest/result", {}, Access::Anyone, {}, receiving(&receive_result)});
    // Support staff read a subscriber's speed tests beside the reports.
    routes.push_back(
        for_roles(Role::Support,
                  {"api-speedtests", get, "/api/v1/speedtests", {}, Access::Token, with_site(&api_speed_tests), {}}));
    return routes;
}

} // namespace lumresults::speedtest
