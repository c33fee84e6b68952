// server/dashboard/found_rows.cpp: one results row per found report.
#include "server/dashboard/found_rows.h"

#include "server/web/local_time.h"
#include "server/web/search_query.h"

namespace lumresults::dashboard {
namespace {

// Cells stay readable without colour: each shows a sign as well.
const char* verdict_sign(std::string_view verdict) {
    if (verdict == "OK") return "\xE2\x9C\x93";     // check mark
    if (verdict == "Failed") return "\xE2\x9C\x97"; // ballot x
    if (verdict == "Skip") return "\xE2\x80\x93";   // en dash
    return "\xC2\xB7";                              // middle dot
}

PageData found_row(const FoundReport& report) {
    PageData row;
    row.set("id", std::to_string(report.info.id));
    row.set("received", local_time_text(report.info.received));
    row.set("caller", report.info.caller);
    // Named apart from the search form's own subscriber field, which an empty row would otherwise show.
    row.set("has_who", report.subscriber.has_value());
    if (report.subscriber) {
        SearchForm whose;
        whose.subscriber = report.subscriber->user_name;
        row.set("who", report.subscriber->user_name);
        row.set("who_query", search_query_string(whose, {}));
    }
    row.set("release", report.read ? report.release : std::string("not read yet"));
    PageList cells;
    for (std::size_t test = 0; test < report.verdicts.size(); ++test) {
        PageData cell;
        cell.set("n", std::to_string(test + 1));
        cell.set("verdict", report.verdicts[test]);
        cell.set("class", verdict_class(report.verdicts[test]));
        cell.set("sign", verdict_sign(report.verdicts[test]));
        cells.push_back(std::move(cell));
    }
    row.set("cells", cells);
    return row;
}

} // namespace

PageList found_rows(const FoundPage& found) {
    PageList rows;
    for (const FoundReport& report : found.reports)
        rows.push_back(found_row(report));
    return rows;
}

} // namespace lumresults::dashboard
