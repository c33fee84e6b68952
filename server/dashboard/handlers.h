// server/dashboard/handlers.h: the dashboard's handlers, one group per file, tied to paths in dashboard_routes.cpp.
#pragma once

#include <memory>

#include "server/http/body_receiver.h"
#include "server/http/request.h"
#include "server/http/response.h"
#include "server/web/access_audit.h"
#include "server/dashboard/dashboard_routes.h"

namespace lumresults::dashboard {

// sign_in_handlers.cpp
Response sign_in_form(const Request& request);
std::unique_ptr<BodyReceiver> receive_sign_in(DashboardSite& site, const Request& request);
std::unique_ptr<BodyReceiver> receive_sign_out(DashboardSite& site, const Request& request);

// search_page.cpp: the search form and its results, and the same search as CSV.
Response search_page(DashboardSite& site, const Request& request);
Response search_csv(DashboardSite& site, const Request& request);

// report_page.cpp: /support/reports/ID and /support/reports/ID/download.
Response report_path(DashboardSite& site, const Request& request);
// The stored bytes as an attachment, the download written to the audit log.
Response report_download(Store& store, const Request& request, const ReportInfo& info);

// api_handlers.cpp: /api/v1/reports, /api/v1/reports/ID and /api/v1/reports/ID/content.
Response api_reports(DashboardSite& site, const Request& request);
Response api_report_path(DashboardSite& site, const Request& request);

// overview_page.cpp: /support/overview and /api/v1/overview.
Response overview_page(DashboardSite& site, const Request& request);
Response api_overview(DashboardSite& site, const Request& request);

// audit_page.cpp: /support/audit, the newest lines of the audit log.
Response audit_page(DashboardSite& site, const Request& request);

// static_files.cpp
Response stylesheet(const Request& request);
Response script(const Request& request);

} // namespace lumresults::dashboard
