// server/dashboard/search_results.h: a page of reports found, each with its seven verdicts, as the search page,
// the CSV and the JSON API list them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "server/store/store.h"

namespace lumresults::dashboard {

// "OK", "Failed", "Skip", "not reached", as the reading names them; "not read" before there is a reading.
using Verdicts = std::array<std::string, READING_TESTS>;

struct FoundReport {
    ReportInfo info;
    bool read = false; // a reading exists; without it, release and finished are unknown
    bool finished = false;
    std::string release; // UTF-8: decoded in the report's code page, what it cannot read as "\xNN"
    std::uint32_t failed_tests = 0;
    Verdicts verdicts;
    int code_page = 0; // Windows' number; 0 when the report is ASCII only (or not read)
    std::optional<ReportSubscriber> subscriber{}; // when a session names who sent it
};

struct FoundPage {
    std::vector<FoundReport> reports;
    std::optional<std::string> next; // the cursor of the page after, when there may be one
};

// Runs the search (one row more than its limit, to know whether a next page exists): one statement.
FoundPage find_reports(ReportStore& store, ReportSearch search);

// The CSS class of a verdict's cell: v-ok, v-failed, v-skip or v-none.
const char* verdict_class(std::string_view verdict);

} // namespace lumresults::dashboard
