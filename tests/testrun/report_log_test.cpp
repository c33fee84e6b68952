// tests/testrun/report_log_test.cpp: the report header's exact bytes, and the release names support staff read.
#include <gtest/gtest.h>

#include <string>

#include "runtime/files/files.h"
#include "runtime/time/time.h"
#include "test_support.h"
#include "testrun/report_log.h"
#include "testrun/run_state.h"

namespace lum {
namespace {

using testing_support::file_contents;
using testing_support::ScratchFolder;

std::string header_for(std::int32_t os_code, DateValue start) {
    ScratchFolder temp;
    RunState state = make_run_state();
    prepare_paths(state, temp.string(), "");
    write_report_header(state, os_code, start);
    close_text_file(REPORT_FILE);
    return file_contents(temp.path() / "lumtest.txt");
}

TEST(ReportLog, HeaderIsTitleReleaseAndStartTimeWithCrLf) {
    EXPECT_EQ(header_for(80, make_date(2014, 3, 9, 8, 5, 7)), "Lumora Network Test v1.4\r\n\r\n"
                                                              "Windows 7\r\n\r\n"
                                                              "=== TEST START === 2014-03-09 08:05:07\r\n\r\n");
}

TEST(ReportLog, ClockPastItsRangeIsWrittenAsZeros) {
    EXPECT_EQ(header_for(200, NO_DATE),
              "Lumora Network Test v1.4\r\n\r\nWindows Future\r\n\r\n=== TEST START === 0000-00-00 00:00:00\r\n\r\n");
}

TEST(ReportLog, EveryReleaseCodeHasItsName) {
    const struct {
        std::int32_t code;
        const char* name;
    } cases[] = {
        {50, "Windows 2000"},        {60, "Windows XP"},      {65, "Windows Server 2003"}, {70, "Windows Vista"},
        {75, "Windows Server 2008"}, {80, "Windows 7"},       {85, "Windows 2008 R2"},     {90, "Windows 8"},
        {95, "Windows Server 2012"}, {200, "Windows Future"}, {5, "Windows Unknown"},      {10, "Windows Unknown"},
        {20, "Windows Unknown"},     {30, "Windows Unknown"}, {40, "Windows Unknown"},     {0, "Windows Unknown"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(os_release_name(c.code), c.name) << c.code;
}

TEST(ReportLog, SecondRunReplacesTheFirstReport) {
    ScratchFolder temp;
    RunState state = make_run_state();
    prepare_paths(state, temp.string(), "");
    write_report_header(state, 80, make_date(2014, 3, 9, 8, 5, 7));
    write_report_line("a line of the first run that is longer than the whole second report ............");
    close_text_file(REPORT_FILE);
    write_report_header(state, 90, make_date(2015, 1, 2, 3, 4, 5));
    close_text_file(REPORT_FILE);
    EXPECT_EQ(file_contents(temp.path() / "lumtest.txt"),
              "Lumora Network Test v1.4\r\n\r\nWindows 8\r\n\r\n=== TEST START === 2015-01-02 03:04:05\r\n\r\n");
}

} // namespace
} // namespace lum
