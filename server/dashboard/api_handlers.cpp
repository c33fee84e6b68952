// server/dashboard/api_handlers.cpp: the reports API for the operator's own programs: the search as JSON or
// CSV, one report's reading, and its bytes.
#include "server/dashboard/handlers.h"
#include "server/dashboard/page_response.h"
#include "server/dashboard/report_export.h"
#include "server/web/search_query.h"

namespace lumresults::dashboard {

Response api_reports(DashboardSite& site, const Request& request) {
    const std::optional<std::size_t> limit = read_api_limit(request);
    if (!limit) return json_error(400, "limit must be a number from 1 to 1000");
    const std::string format = request.query_value("format").value_or("json");
    if (format != "json" && format != "csv") return json_error(400, "format must be json or csv");
    const SearchQuery query = read_search_query(request, *limit);
    if (!query.error.empty()) return json_error(400, query.error);
    const FoundPage found = find_reports(site.store, query.search);
    audit_search(site.store, request, "reports listed", query.form);
    if (format == "json") return json_response(200, reports_json(found));
    Response response = Response::text(200, reports_csv(found), "text/csv; charset=utf-8");
    add_page_headers(response);
    return response;
}

Response api_report_path(DashboardSite& site, const Request& request) {
    std::string_view rest = std::string_view(request.path).substr(std::string_view("/api/v1/reports/").size());
    const bool wants_content = rest.ends_with("/content");
    if (wants_content) rest.remove_suffix(std::string_view("/content").size());
    const std::optional<std::int64_t> id = parse_report_id(rest);
    if (!id) return json_error(404, "no such report");
    const std::optional<ReportInfo> info = site.store.find_report(*id);
    if (!info) return json_error(404, "no such report");
    if (wants_content) return report_download(site.store, request, *info);
    const std::optional<ReportReading> reading = site.store.find_reading(*id);
    audit_report(site.store, request, "report viewed", *id);
    return json_response(200, report_json(*info, reading ? reading->json : std::string()));
}

} // namespace lumresults::dashboard
