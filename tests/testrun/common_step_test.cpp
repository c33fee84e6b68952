// tests/testrun/common_step_test.cpp: a test's row and name line, and its tool's lines logged and scanned.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/files/files.h"
#include "runtime/window/inspect.h"
#include "runtime/window/window.h"
#include "test_support.h"
#include "testrun/progress_window.h"
#include "testrun/report_log.h"
#include "testrun/common_step.h"

namespace lum {
namespace {

using testing_support::child_program;
using testing_support::file_contents;
using testing_support::ScratchFolder;

class CommonStepTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_layer_start();
        state_ = make_run_state();
        prepare_paths(state_, temp_.string(), "");
        ASSERT_TRUE(open_progress_window(state_));
        create_text_file(REPORT_FILE, state_.ReportPath);
    }
    void TearDown() override {
        free_all_fonts();
        close_all_files();
        close_all_windows();
    }
    std::string report() {
        close_text_file(REPORT_FILE);
        return file_contents(temp_.path() / "lumtest.txt");
    }

    ScratchFolder temp_;
    RunState state_;
};

TEST_F(CommonStepTest, BeginningATestLogsItsNameAndShowsItsRow) {
    begin_test(state_, 5);
    EXPECT_EQ(state_.CurrentRow, 5);
    EXPECT_EQ(get_gadget_text(5), "Test 5: Large Packet Ping (1400 Bytes) Test");
    const Rect box = gadget_box(5);
    EXPECT_EQ(box.x, 10);
    EXPECT_EQ(box.y, 130);
    EXPECT_EQ(box.width, 580);
    EXPECT_EQ(box.height, 40);
    EXPECT_EQ(report(), "Test 5: Large Packet Ping (1400 Bytes) Test\r\n");
}

TEST_F(CommonStepTest, RowsEndWithColourAndVerdict) {
    const struct {
        void (*end)(const RunState&);
        std::int32_t color;
        const char* text;
    } cases[] = {
        {[](const RunState& s) { set_row_passed(s); }, 0x008000, "Test 2: Network Connection -- OK"},
        {set_row_failed, 0x000080, "Test 2: Network Connection -- Failed"},
        {set_row_skipped, 0x800000, "Test 2: Network Connection -- Skip"},
    };
    for (const auto& c : cases) {
        begin_test(state_, 2);
        c.end(state_);
        EXPECT_EQ(get_gadget_color(2, GADGET_COLOR_FRONT), c.color);
        EXPECT_EQ(get_gadget_text(2), c.text);
    }
    begin_test(state_, 6);
    set_row_passed(state_, " -- OK 94.21 Mbps");
    EXPECT_EQ(get_gadget_text(6), "Test 6: HTTP Get File Test -- OK 94.21 Mbps");
}

TEST_F(CommonStepTest, NonEmptyLinesAreLoggedWithCrLfAndScanned) {
    std::vector<std::string> scanned;
    run_tool(state_, child_program(), "out %20%20leading%0A%0A%0D%0Ax%0Alast", [&](const std::string& line) {
        scanned.push_back(line);
        return Scan::Continue;
    });
    EXPECT_EQ(scanned, (std::vector<std::string>{"  leading", "x", "last"}));
    EXPECT_EQ(report(), "  leading\r\nx\r\nlast\r\n");
}

TEST_F(CommonStepTest, ScanCanStopTheReadingEarly) {
    run_tool(state_, child_program(), "out one%0Atwo%0Athree%0A",
             [](const std::string& line) { return line == "two" ? Scan::Stop : Scan::Continue; });
    EXPECT_EQ(report(), "one\r\ntwo\r\n");
}

TEST_F(CommonStepTest, ToolThatPrintsOnlyEmptyLinesOrCannotStartAddsNothing) {
    int scans = 0;
    const LineScan count = [&](const std::string&) {
        ++scans;
        return Scan::Continue;
    };
    run_tool(state_, child_program(), "out %0A%0D%0A%0D", count);
    run_tool(state_, "lumtest-no-such-tool", "/all", count);
    EXPECT_EQ(scans, 0);
    EXPECT_EQ(report(), "");
}

} // namespace
} // namespace lum
