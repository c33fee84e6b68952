// server/dashboard/dashboard_routes.h: the support dashboard's, the reports API's and the static files' paths.
#pragma once

#include <vector>

#include "server/http/routes.h"
#include "server/store/store.h"
#include "server/dashboard/accounts.h"

namespace lumresults::dashboard {

// What the dashboard's handlers share; it must outlive the routes.
struct DashboardSite {
    Store& store;
    const AccountPolicy& accounts;
};

// /support/ (sign-in, search, reports, CSV), /api/v1/reports, /assets/support.css and .js.
std::vector<Route> dashboard_routes(DashboardSite& site);

} // namespace lumresults::dashboard
