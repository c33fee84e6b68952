// tests/server/routing_test.cpp: the route table's matching and the form bodies that sign-in posts.
#include "server/http/form_body.h"
#include "server/http/routes.h"

#include <gtest/gtest.h>

using namespace lumresults;

TEST(FormBody, SplitsAndUnescapesFieldsKeepingMalformedEscapesAsTheyAre) {
    const std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> cases = {
        {"user=ann&password=a%26b%3Dc+d", {{"user", "ann"}, {"password", "a&b=c d"}}},
        {"a=%zz&b=%4&c=%41%00", {{"a", "%zz"}, {"b", "%4"}, {"c", std::string("A\0", 2)}}},
        {"&&flag&=empty&x=", {{"flag", ""}, {"", "empty"}, {"x", ""}}},
        {"", {}},
    };
    for (const auto& [body, fields] : cases)
        EXPECT_EQ(parse_form(body).fields, fields) << body;
    EXPECT_EQ(parse_form("k=1&k=2").value("k"), "1");
    EXPECT_FALSE(parse_form("k=1").value("K"));
}

TEST(RouteTable, AFolderRouteTakesOnlyPathsBelowItAndTheFirstFittingRouteDecides) {
    const auto answer = [](const Request&) { return Response::text(200, ""); };
    std::vector<Route> routes;
    routes.push_back({"one", {"GET"}, "/support/reports/", {}, Access::Staff, answer, {}, true});
    routes.push_back({"exact", {"GET", "POST"}, "/support/reports", {}, Access::Staff, answer, {}});
    const std::vector<std::tuple<std::string, std::string, std::string_view, unsigned>> cases = {
        {"GET", "/support/reports/12", "one", 0},
        {"GET", "/support/reports/12/download", "one", 0},
        {"POST", "/support/reports/12", "one", 405},
        {"GET", "/support/reports/", "other", 404}, // the folder itself is not below itself
        {"POST", "/support/reports", "exact", 0},
        {"GET", "/support/reportsX", "other", 404},
    };
    for (const auto& [method, path, name, refusal] : cases) {
        const RouteMatch match = match_route(routes, method, path, {});
        EXPECT_EQ(match.name, name) << method << ' ' << path;
        EXPECT_EQ(match.refusal, refusal) << method << ' ' << path;
    }
}

TEST(RouteTable, APathMayHaveARoutePerMethodAndARefusalListsThemAll) {
    const auto answer = [](const Request&) { return Response::text(200, ""); };
    std::vector<Route> routes;
    routes.push_back({"form", {"GET", "HEAD"}, "/support/sign-in", {}, Access::Anyone, answer, {}});
    routes.push_back({"form-post", {"POST"}, "/support/sign-in", {}, Access::Anyone, answer, {}});
    EXPECT_EQ(match_route(routes, "GET", "/support/sign-in", {}).name, "form");
    EXPECT_EQ(match_route(routes, "POST", "/support/sign-in", {}).name, "form-post");
    const RouteMatch refused = match_route(routes, "PUT", "/support/sign-in", {});
    EXPECT_EQ(refused.refusal, 405u);
    EXPECT_EQ(refused.allow, "GET, HEAD, POST");
    EXPECT_EQ(refused.name, "form");
}
