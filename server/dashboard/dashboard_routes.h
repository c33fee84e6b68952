// server/dashboard/dashboard_routes.h: the support dashboard's, the reports API's and the static files' paths.
#pragma once

#include <string>
#include <vector>

#include "server/http/routes.h"
#include "server/store/store.h"
#include "server/dashboard/accounts.h"

namespace lumresults::dashboard {

// Who may use each part of the dashboard: the route table gives these to its routes, and the pages show a
// link only to a principal that may follow it, so both read the same sets.
inline constexpr Roles SEARCH_ROLES = Role::Support;   // search, reports, CSV, the reports API
inline constexpr Roles OVERVIEW_ROLES = Role::Network; // the overview and its API
inline constexpr Roles AUDIT_ROLES = Role::Admin;      // the audit log

// Where a member of staff starts: the first page of the dashboard their roles let them see.
std::string home_for(Roles roles);

// What the dashboard's handlers share; it must outlive the routes.
struct DashboardSite {
    Store& store;
    const AccountPolicy& accounts;
};

// /support/ (sign-in, search, reports, CSV, overview, audit log), /api/v1/reports and /api/v1/overview,
// /assets/support.css and .js.
std::vector<Route> dashboard_routes(DashboardSite& site);

} // namespace lumresults::dashboard
