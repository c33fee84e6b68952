// server/dashboard/search_page.cpp: the search page, the one support staff open first: the form, then the
// newest reports that match, 50 to a page; and the same search as CSV.
#include <array>

#include "server/dashboard/found_rows.h"
#include "server/dashboard/handlers.h"
#include "server/dashboard/page_response.h"
#include "server/dashboard/report_export.h"
#include "server/web/search_query.h"

namespace lumresults::dashboard {
namespace {

constexpr std::size_t PAGE_SIZE = 50;
// The CSV is for a spreadsheet, not for reading on screen: more rows at once.
constexpr std::size_t CSV_ROWS = 1000;

PageData failed_option(const std::string& value, const std::string& label, std::string_view chosen) {
    PageData option;
    option.set("value", value);
    option.set("label", label);
    option.set("selected", chosen == value);
    return option;
}

PageList failed_options(std::string_view chosen) {
    PageList list{failed_option("", "any result", chosen), failed_option("any", "some test failed", chosen)};
    for (std::size_t test = 1; test <= READING_TESTS; ++test)
        list.push_back(failed_option(std::to_string(test), "Test " + std::to_string(test) + " failed", chosen));
    return list;
}

PageData form_data(const SearchForm& form) {
    PageData data;
    data.set("ip", form.ip);
    data.set("computer", form.computer);
    data.set("subscriber", form.subscriber);
    data.set("node", form.node);
    data.set("prefix", form.match == "prefix");
    data.set("from", form.from);
    data.set("to", form.to);
    data.set("failed_options", failed_options(form.failed));
    return data;
}

void add_results(PageData& data, const SearchQuery& query, const FoundPage& found) {
    data.set("searched", true);
    data.set("table_id", "results");
    data.set("caption", "Reports found, newest first");
    data.set("reports", found_rows(found));
    data.set("none", found.reports.empty());
    const std::size_t count = found.reports.size();
    data.set("count", found.next ? "The newest " + std::to_string(count) + " reports"
                                 : std::to_string(count) + (count == 1 ? " report" : " reports"));
    data.set("csv_query", search_query_string(query.form, query.form.after));
    if (found.next) data.set("older", search_query_string(query.form, *found.next));
    if (!query.form.after.empty()) data.set("newest", search_query_string(query.form, {}));
}

} // namespace

Response search_page(DashboardSite& site, const Request& request) {
    const SearchQuery query = read_search_query(request, PAGE_SIZE, TimesIn::operator_zone);
    PageData data = form_data(query.form);
    data.set("title", !query.form.ip.empty()         ? query.form.ip
                      : !query.form.computer.empty() ? query.form.computer
                      : !query.form.subscriber.empty() ? query.form.subscriber
                                                     : "Search");
    if (!query.error.empty()) {
        data.set("error", query.error);
        return page(400, "search", std::move(data), request);
    }
    add_results(data, query, find_reports(site.store, query.search));
    audit_search(site.store, request, "reports searched", query.form);
    return page(200, "search", std::move(data), request);
}

Response search_csv(DashboardSite& site, const Request& request) {
    const SearchQuery query = read_search_query(request, CSV_ROWS, TimesIn::operator_zone);
    if (!query.error.empty()) return message_page(400, "Search not understood", query.error, request);
    audit_search(site.store, request, "reports exported", query.form);
    return attachment(reports_csv(find_reports(site.store, query.search)), "text/csv; charset=utf-8",
                      "lumtest-reports.csv");
}

} // namespace lumresults::dashboard
