// server/support/support_routes.h: the support dashboard's, the reports API's and the static files' paths.
#pragma once

#include <vector>

#include "server/http/routes.h"
#include "server/store/store.h"
#include "server/support/accounts.h"

namespace lumresults::support {

// What the dashboard's handlers share; it must outlive the routes.
struct SupportSite {
    Store& store;
    const AccountPolicy& accounts;
};

// /support/ (sign-in, search, reports, CSV), /api/v1/reports, /assets/support.css and .js.
std::vector<Route> support_routes(SupportSite& site);

} // namespace lumresults::support
