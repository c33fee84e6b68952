// tests/testrun/closing_test.cpp: the report's footer and upload body, and what the closing screen's buttons open.
#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "closing_user.h"
#include "document_opener.h"
#include "runtime/files/files.h"
#include "runtime/window/inspect.h"
#include "runtime/window/window.h"
#include "test_support.h"
#include "testrun/closing.h"
#include "testrun/progress_window.h"
#include "testrun/report_log.h"

namespace lum {
namespace {

namespace fs = std::filesystem;
using testing_support::child_program;
using testing_support::file_contents;
using testing_support::ScratchFolder;
using testing_support::wait_until;

class ClosingTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_layer_start();
        state_ = make_run_state();
        prepare_paths(state_, temp_.string(), "");
    }
    void TearDown() override {
        free_all_fonts();
        close_all_files();
        close_all_windows();
    }

    ScratchFolder temp_;
    RunState state_;
};

TEST_F(ClosingTest, FooterEndsTheReportAndTheBodyWrapsItWithCrLf) {
    // A report with bare LF and lone CR line ends, as if written by hand, and empty lines.
    std::ofstream(temp_.path() / "lumtest.txt", std::ios::binary) << "first\n\nthird\rfourth\r\n";
    upload_report(state_);
    EXPECT_EQ(file_contents(temp_.path() / "lumtest.log"),
              "--FILEUPLOAD\r\n"
              "Content-Disposition: form-data; name='userfile'; filename='lumtest.log'\r\n"
              "Content-Type: text/plain\r\n"
              "\r\n"
              "first\r\n\r\nthird\r\nfourth\r\n"
              "\r\n"
              "--FILEUPLOAD--\r\n");
}

TEST_F(ClosingTest, MissingReportGivesABodyWithoutLines) {
    upload_report(state_);
    EXPECT_EQ(file_contents(temp_.path() / "lumtest.log"),
              "--FILEUPLOAD\r\nContent-Disposition: form-data; name='userfile'; filename='lumtest.log'\r\n"
              "Content-Type: text/plain\r\n\r\n\r\n--FILEUPLOAD--\r\n");
}

TEST_F(ClosingTest, FooterIsTheLastLineOfTheClosedReport) {
    create_text_file(REPORT_FILE, state_.ReportPath);
    write_report_line("Test 7: Multicast Test");
    write_report_line("");
    finish_report(make_date(2014, 3, 9, 8, 6, 59));
    write_report_line("after the close: lost");
    EXPECT_EQ(file_contents(temp_.path() / "lumtest.txt"),
              "Test 7: Multicast Test\r\n\r\n=== TEST END === 2014-03-09 08:06:59\r\n");
}

// Each press opens its target in a window the user sees: a browser started hidden for the speed-test
// page would stay out of sight. Only closing the window ends the screen. The openers run on their own,
// so their records may come in any order.
TEST_F(ClosingTest, ButtonsOpenTheReportAndTheSpeedTestPageUntilTheWindowCloses) {
    std::ofstream(temp_.path() / "lumtest.txt") << "report\n";
    const fs::path record = temp_.path() / "opened.txt";
    testing_support::install_document_opener(child_program(), record.string(), temp_.string());
    ASSERT_TRUE(open_progress_window(state_));
    {
        testing_support::ClosingScreenUser user({8, 9, 8}, record.string());
        run_closing_screen(state_);
    }
    EXPECT_EQ(get_gadget_text(8), "View Log");
    EXPECT_EQ(get_gadget_text(9), "Speed Test");
    const bool all_opened = wait_until([&] {
        const std::string opened = file_contents(record);
        return std::count(opened.begin(), opened.end(), '[') >= 3;
    });
    testing_support::remove_document_opener();
    ASSERT_TRUE(all_opened) << file_contents(record);
    int reports = 0;
    int pages = 0;
    for (const std::string& line : testing_support::lines_of(file_contents(record))) {
        if (line.empty() || line.front() != '[') continue;
        const std::string target = line.substr(1, line.size() - 2);
        if (target == "http://nettest.lumora.example/?lumnettest") {
            ++pages;
        } else {
            EXPECT_TRUE(fs::equivalent(target, temp_.path() / "lumtest.txt")) << target;
            ++reports;
        }
    }
    EXPECT_EQ(reports, 2);
    EXPECT_EQ(pages, 1);
    const std::vector<std::string> lines = testing_support::lines_of(file_contents(record));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), testing_support::shown_normally_note()), 3)
        << "every opener, the speed-test page's too, is to show its window normally:\n"
        << file_contents(record);
}

} // namespace
} // namespace lum
