// server/site/results_site.cpp: what each of the results server's paths answers.
#include "server/site/results_site.h"

#include "server/site/pages.h"

namespace lumresults {
namespace {

// The program reads only the first block of this answer and takes the first line holding
// "Client-IP-Address"; that line must come before any line holding "Network". So it is the first
// header, and nothing here mentions a network. (Only a request that asks to close the connection gets
// the library's "Connection: close" ahead of it; the program's never does.)
Response public_address(const Request& request) {
    Response response;
    response.headers.reserve(3);
    response.headers.emplace_back("Client-IP-Address", format_address(request.caller));
    response.headers.emplace_back("Content-Type", "text/plain; charset=utf-8");
    response.headers.emplace_back("Cache-Control", "no-store");
    response.body = response.headers.front().second + "\n";
    return response;
}

Response html(std::string page) { return Response::text(200, std::move(page), "text/html; charset=utf-8"); }

} // namespace

std::shared_ptr<SharedBody> make_download_body(const std::filesystem::path& directory) {
    return make_random_body(DOWNLOAD_BYTES,
                            {{"Content-Type", "application/octet-stream"}, {"Cache-Control", "no-store"}}, directory);
}

std::vector<Route> results_routes(Site& site) {
    std::vector<Route> routes;
    routes.push_back(quick({"ip", {"GET", "HEAD"}, "/ip/", {}, Access::Anyone, &public_address, {}}));
    routes.push_back(quick({"download",
                            {"GET", "HEAD"},
                            "/10mb.bin",
                            {},
                            Access::Anyone,
                            [&site](const Request&) {
                                Response response;
                                response.shared_body = site.download;
                                return response;
                            },
                            {}}));
    routes.push_back(
        {"upload", {"POST"}, "/lumnettestresult.php", {}, Access::Anyone, {}, [&site](const Request& request) {
             return receive_report(request, site.store, site.metrics, site.upload);
         }});
    // Before the front page: the speed test's page is "/" with its query.
    for (Route& route : speedtest::speedtest_routes(site.speed_test))
        routes.push_back(std::move(route));
    routes.push_back(quick(
        {"front", {"GET", "HEAD"}, "/", {}, Access::Anyone, [](const Request&) { return html(front_page()); }, {}}));
    routes.push_back(quick(
        {"metrics",
         {"GET"},
         "/metrics",
         {},
         Access::Monitoring,
         [&site](const Request&) { return Response::text(200, site.metrics.render(), "text/plain; version=0.0.4"); },
         {}}));
    for (Route& route : dashboard::dashboard_routes(site.dashboard_site))
        routes.push_back(std::move(route));
    return routes;
}

} // namespace lumresults
