// server/dashboard/dashboard_routes.cpp: the dashboard's route table; which paths need a session or a token, and
// for which roles, is decided here and nowhere else.
#include "server/dashboard/dashboard_routes.h"

#include "server/dashboard/handlers.h"

namespace lumresults::dashboard {

std::string home_for(Roles roles) {
    if (roles.meets(SEARCH_ROLES) || roles.empty()) return "/support/";
    if (roles.meets(OVERVIEW_ROLES)) return "/support/overview";
    return "/support/audit";
}

std::vector<Route> dashboard_routes(DashboardSite& site) {
    const auto with_site = [&site](Response (*handler)(DashboardSite&, const Request&)) {
        return [&site, handler](const Request& request) { return handler(site, request); };
    };
    const auto receiving = [&site](std::unique_ptr<BodyReceiver> (*handler)(DashboardSite&, const Request&)) {
        return [&site, handler](const Request& request) { return handler(site, request); };
    };
    const std::vector<std::string_view> get{"GET", "HEAD"};
    std::vector<Route> routes;
    routes.push_back(quick({"support-bare",
                            get,
                            "/support",
                            {},
                            Access::Anyone,
                            [](const Request&) { return Response::redirect("/support/", 301); },
                            {}}));
    routes.push_back(quick({"sign-in", get, "/support/sign-in", {}, Access::Anyone, &sign_in_form, {}}));
    routes.push_back(anonymous_sign_in(
        {"sign-in-post", {"POST"}, "/support/sign-in", {}, Access::Anyone, {}, receiving(&receive_sign_in)}));
    routes.push_back({"sign-out", {"POST"}, "/support/sign-out", {}, Access::Staff, {}, receiving(&receive_sign_out)});
    routes.push_back(
        for_roles(SEARCH_ROLES, {"search", get, "/support/", {}, Access::Staff, with_site(&search_page), {}}));
    routes.push_back(for_roles(
        SEARCH_ROLES, {"search-csv", get, "/support/reports.csv", {}, Access::Staff, with_site(&search_csv), {}}));
    routes.push_back(for_roles(
        SEARCH_ROLES, {"report", get, "/support/reports/", {}, Access::Staff, with_site(&report_path), {}, true}));
    routes.push_back(for_roles(
        OVERVIEW_ROLES, {"overview", get, "/support/overview", {}, Access::Staff, with_site(&overview_page), {}}));
    routes.push_back(
        for_roles(AUDIT_ROLES, {"audit", get, "/support/audit", {}, Access::Staff, with_site(&audit_page), {}}));
    routes.push_back(for_roles(
        OVERVIEW_ROLES, {"api-overview", get, "/api/v1/overview", {}, Access::Token, with_site(&api_overview), {}}));
    routes.push_back(for_roles(
        SEARCH_ROLES, {"api-reports", get, "/api/v1/reports", {}, Access::Token, with_site(&api_reports), {}}));
    routes.push_back(
        for_roles(SEARCH_ROLES,
                  {"api-report", get, "/api/v1/reports/", {}, Access::Token, with_site(&api_report_path), {}, true}));
    routes.push_back(quick({"support-css", get, "/assets/support.css", {}, Access::Anyone, &stylesheet, {}}));
    routes.push_back(quick({"support-js", get, "/assets/support.js", {}, Access::Anyone, &script, {}}));
    for (Route& route : routes)
        route.staff_facing = true;
    return routes;
}

} // namespace lumresults::dashboard
