// server/dashboard/search_results.cpp: the store's summaries completed with the verdicts kept in each reading.
//
// The summary holds only which tests failed; OK, Skip and not reached come from the reading's JSON. A page
// is at most a thousand rows (the API's limit), each reading a few kilobytes, so reading them one by
// one costs less than keeping a second copy of the verdicts in the table.
#include "server/dashboard/search_results.h"

#include <nlohmann/json.hpp>

#include "server/dashboard/search_query.h"

namespace lumresults::dashboard {
namespace {

Verdicts not_read() {
    Verdicts verdicts;
    verdicts.fill("not read");
    return verdicts;
}

} // namespace

Verdicts verdicts_of_reading(std::string_view reading_json) {
    const nlohmann::json reading = nlohmann::json::parse(reading_json, nullptr, false);
    if (reading.is_discarded() || !reading.contains("tests") || !reading["tests"].is_array()) return not_read();
    Verdicts verdicts = not_read();
    for (const nlohmann::json& test : reading["tests"]) {
        if (!test.is_object() || !test.contains("number") || !test.contains("verdict")) continue;
        const nlohmann::json& number = test["number"];
        if (!number.is_number_integer() || number.get<int>() < 1 || number.get<int>() > 7) continue;
        if (test["verdict"].is_string()) verdicts[number.get<std::size_t>() - 1] = test["verdict"].get<std::string>();
    }
    return verdicts;
}

const char* verdict_class(std::string_view verdict) {
    if (verdict == "OK") return "v-ok";
    if (verdict == "Failed") return "v-failed";
    if (verdict == "Skip") return "v-skip";
    return "v-none";
}

FoundPage find_reports(Store& store, ReportSearch search) {
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
            found.release = std::move(summary.reading->release);
            found.failed_tests = summary.reading->failed_tests;
            if (const std::optional<ReportReading> reading = store.find_reading(found.info.id))
                found.verdicts = verdicts_of_reading(reading->json);
        }
        page.reports.push_back(std::move(found));
    }
    return page;
}

} // namespace lumresults::dashboard
