// server/dashboard/search_results.cpp: the store's summaries with their verdicts named as the reading names them.
#include "server/dashboard/search_results.h"

#include "server/web/search_query.h"
#include "server/reports/decoding/decoder.h"

namespace lumresults::dashboard {
namespace {

Verdicts not_read() {
    Verdicts verdicts;
    verdicts.fill("not read");
    return verdicts;
}

// The release line in the report's code page; one the reading cut short ends with an ellipsis, so that
// nobody takes it for the whole line.
std::string shown_release(const ReportReading& reading) {
    const std::string release = lum::reports::decoded_text(reading.release, reading.code_page);
    return reading.release_cut ? release + "\xE2\x80\xA6" : release;
}

} // namespace

const char* verdict_class(std::string_view verdict) {
    if (verdict == "OK") return "v-ok";
    if (verdict == "Failed") return "v-failed";
    if (verdict == "Skip") return "v-skip";
    return "v-none";
}

FoundPage find_reports(ReportStore& store, ReportSearch search) {
    const std::size_t shown = search.limit;
    search.limit = shown + 1;
    std::vector<ReportSummary> summaries = store.search_reports(search);
    FoundPage page;
    if (summaries.size() > shown) {
        summaries.resize(shown);
        page.next = page_cursor(summaries.back().info);
    }
    page.reports.reserve(summaries.size());
    for (ReportSummary& summary : summaries) {
        FoundReport found{std::move(summary.info), summary.reading.has_value(), false, {}, 0, not_read()};
        if (summary.reading) {
            found.finished = summary.reading->finished;
            found.release = shown_release(*summary.reading);
            found.code_page = summary.reading->code_page;
            found.failed_tests = summary.reading->failed_tests;
            for (std::size_t test = 0; test < found.verdicts.size(); ++test)
                found.verdicts[test] = verdict_name(summary.reading->verdicts[test]);
        }
        found.subscriber = std::move(summary.subscriber);
        page.reports.push_back(std::move(found));
    }
    return page;
}

} // namespace lumresults::dashboard
