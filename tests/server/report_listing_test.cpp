// tests/server/report_listing_test.cpp: the command line's list of reports and the day that --since names.
#include "server/cli/report_listing.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace lumresults;
using namespace std::chrono;

namespace {

const Clock::time_point received = sys_days{year{2026} / 2 / 3} + 4h + 5min + 6s + 789ms;

std::vector<ReportInfo> two_reports() {
    return {
        {7, "192.0.2.1", received, "a\\b\xE9\x01.txt", "text/plain", 5, "0123abcd"},
        {12, "2001:db8::1", received + 24h, "lumtest.log", "text/plain; charset=cp1252", 12345, "ffee"},
    };
}

TEST(ReportListing, LinesEscapeEveryByteATerminalCouldMisread) {
    EXPECT_EQ(format_report_list(two_reports(), false),
              " 7  2026-02-03 04:05:06  192.0.2.1        5  0123abcd  a\\\\b\\xE9\\x01.txt\n"
              "12  2026-02-04 04:05:06  2001:db8::1  12345  ffee  lumtest.log\n");
    EXPECT_EQ(format_report_list({}, false), "");
}

TEST(ReportListing, JsonGivesEveryFieldAndSurvivesBytesThatAreNotUtf8) {
    const auto list = nlohmann::json::parse(format_report_list(two_reports(), true));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], nlohmann::json::parse(R"({"id": 7, "caller": "192.0.2.1",
        "received": "2026-02-03T04:05:06.789Z", "file_name": "a\\b\ufffd\u0001.txt",
        "content_type": "text/plain", "size": 5, "sha256": "0123abcd"})"));
    EXPECT_EQ(list[1]["received"], "2026-02-04T04:05:06.789Z");
    EXPECT_EQ(format_report_list({}, true), "[]\n");
}

TEST(ReportListing, ParseDayTakesOnlyRealDaysSpelledExactly) {
    EXPECT_EQ(parse_day("2026-02-28"), Clock::time_point(sys_days{year{2026} / 2 / 28}));
    EXPECT_EQ(parse_day("2024-02-29"), Clock::time_point(sys_days{year{2024} / 2 / 29}));
    EXPECT_EQ(parse_day("1970-01-01"), Clock::time_point());
    for (const char* wrong :
         {"2026-02-30", "2025-02-29", "2026-13-01", "2026-00-10", "2026-01-00", "2026-2-03", "2026-02-3", "2026/02/03",
          "2026-02-03x", " 2026-02-03", "2026-02-03T00:00", "+026-02-03", "", "1600-01-01", "9999-12-31"})
        EXPECT_FALSE(parse_day(wrong)) << wrong;
}

} // namespace
