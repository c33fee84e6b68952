// server/http/routes.cpp: finding a request's route, or the right refusal.
#include "server/http/routes.h"

#include <algorithm>

namespace lumresults {
namespace {

bool query_fits(const Route& route, const std::vector<std::string>& query_keys) {
    return route.query_key.empty() ||
           std::find(query_keys.begin(), query_keys.end(), route.query_key) != query_keys.end();
}

bool path_fits(const Route& route, std::string_view path) {
    if (!route.prefix) return route.path == path;
    return path.size() > route.path.size() && path.starts_with(route.path);
}

bool allows(const Route& route, std::string_view method) {
    return std::find(route.methods.begin(), route.methods.end(), method) != route.methods.end();
}

std::string allowed_methods(const Route& route) {
    std::string allow;
    for (std::string_view method : route.methods) {
        if (!allow.empty()) allow += ", ";
        allow += method;
    }
    return allow;
}

} // namespace

// The first route whose path, query and method fit decides: the more particular routes come first in the
// table. One path may have several routes, one per method (a form's page and its POST); when none allows
// the method, the first that fits the path names the refusal and Allow lists every fitting route's methods.
RouteMatch match_route(const std::vector<Route>& routes, std::string_view method, std::string_view path,
                       const std::vector<std::string>& query_keys) {
    RouteMatch refusal{nullptr, 404, {}, "other"};
    for (const Route& route : routes) {
        if (!path_fits(route, path) || !query_fits(route, query_keys)) continue;
        if (allows(route, method)) return {&route, 0, {}, route.name};
        if (refusal.refusal == 404) refusal = {nullptr, 405, {}, route.name};
        refusal.allow += (refusal.allow.empty() ? "" : ", ") + allowed_methods(route);
    }
    return refusal;
}

} // namespace lumresults
