// server/http/routes.h: the route table: which method and path reach which handler, kept as data so that
// tests and the metrics can enumerate it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/http/body_receiver.h"
#include "server/http/lane.h"
#include "server/http/request.h"
#include "server/http/response.h"

namespace lumresults {

enum class Access {
    Anyone,
    Monitoring, // only callers from the configured monitoring networks (loopback by default)
    Staff,      // a signed-in staff member's session; others are sent to sign in
    Token,      // an API bearer token; others get 401
};

struct Route {
    std::string_view name;                 // fixed, for the metrics and the access log
    std::vector<std::string_view> methods; // HEAD is listed wherever GET is
    std::string_view path;
    std::string_view query_key; // when not empty, the query must name this argument
    Access access = Access::Anyone;
    std::function<Response(const Request&)> answer;                       // a request without a body
    std::function<std::unique_ptr<BodyReceiver>(const Request&)> receive; // or one whose body is read
    bool prefix = false; // path names a folder ("/support/reports/"): every path below it matches
    // Answered on the thread that read the request: touches neither the store nor a password, and takes
    // microseconds. Every other route's work is done on a worker while its connection waits.
    bool quick = false;
    // Staff use it (the sign-in form, say): with staff networks set, other callers are refused at once.
    bool staff_facing = false;
    Lane lane = Lane::Work; // where its work waits for a worker
    // A Staff or Token route's: a principal with any one of these may use it; the gate answers 403 to others.
    Roles roles = Roles::all();
};

inline Route quick(Route route) {
    route.quick = true;
    return route;
}

// A sign-in by someone not yet known: its password hash waits in the sign-ins' own lane.
inline Route anonymous_sign_in(Route route) {
    route.lane = Lane::SignIn;
    return route;
}

// A Staff or Token route for these roles only.
inline Route for_roles(Roles roles, Route route) {
    route.roles = roles;
    return route;
}

// Decides whether a request may use a Staff or Token route: nothing (and request.principal filled in) to
// let it through, or the answer to refuse it with (403 to a principal with none of the route's roles).
// The server refuses all such routes without one.
using Gate = std::function<std::optional<Response>(const Route&, Request&)>;

// What a request found in the table: a route, or the status and Allow header to refuse it with.
struct RouteMatch {
    const Route* route = nullptr;
    unsigned refusal = 0;  // 404 or 405 when route is null
    std::string allow;     // for 405: the methods the path has
    std::string_view name; // the route's name, or "other"
};

RouteMatch match_route(const std::vector<Route>& routes, std::string_view method, std::string_view path,
                       const std::vector<std::string>& query_keys);

} // namespace lumresults
