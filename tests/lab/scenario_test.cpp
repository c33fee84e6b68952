// tests/lab/scenario_test.cpp: whole test runs against recorded tool outputs, compared line for line.
//
// Each folder under scenarios/ (over scenarios/base/) holds the stand-in tools' recorded outputs, the
// scenario's settings, and what it expects: the report (report.txt), the rows (rows.txt) and the
// tools' calls (journal.txt). The run goes from the window opening to the closing screen, with the
// real window layer of the build, and a fixed clock for the report's two time stamps.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/files/files.h"
#include "runtime/window/window.h"
#include "scenario_run.h"

namespace lum::lab {
namespace {

namespace fs = std::filesystem;
using testing_support::file_contents;
using testing_support::ScratchFolder;
using testing_support::wait_until;

const fs::path SCENARIOS = "scenarios";

std::vector<std::string> scenario_names() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(SCENARIOS)) {
        if (entry.is_directory() && entry.path().filename() != "base")
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class ScenarioTest : public ::testing::TestWithParam<std::string> {
protected:
    // A tool whose stand-in is missing must not be found anywhere else either: the search path is an
    // empty folder for the whole run.
    static void SetUpTestSuite() {
        static ScratchFolder nowhere("lumtest_no_tools_");
        set_environment("PATH", nowhere.string());
    }

    void TearDown() override {
        free_all_fonts();
        close_all_files();
        close_all_windows();
    }
};

TEST_P(ScenarioTest, RunMatchesTheRecording) {
    const fs::path source = SCENARIOS / GetParam();
    const ScenarioSettings settings = read_settings(source / "scenario.txt");
    ScratchFolder scratch;
    const Prepared run = prepare(scratch, source, settings);
    const bool uploads = std::find(settings.missing.begin(), settings.missing.end(), "wget") == settings.missing.end();
    testing_support::LoopbackListener server;
    ASSERT_TRUE(server.ready());
    set_environment("LUMTEST_RESULTS_SERVER", server.address());
    if (uploads) server.serve_one();
    {
        MissingTools missing(settings.missing);
        run_scenario(run, settings, run.temp_value);
        release_stand_ins(run);
        // The run does not wait for the upload; the journal's last line is its call.
        if (uploads) {
            EXPECT_TRUE(wait_until([&] { return file_contents(run.journal).find("--post-file") != std::string::npos; }))
                << "the upload never started";
        }
    }
    check_rows(read_rows(source / "rows.txt"));
    const std::string report = file_contents(run.temp / "lumtest.txt");
    EXPECT_TRUE(same_lines(split_lines(report), expected_report(source / "report.txt", run.data))) << "report";
    check_line_ends(report);
    check_upload(run.temp_value, uploads ? &server : nullptr);
    std::vector<std::string> wrong_folders;
    EXPECT_TRUE(same_lines(read_journal(run.journal, run.temp_value, wrong_folders),
                           read_expected_journal(source / "journal.txt")))
        << "journal";
    EXPECT_TRUE(wrong_folders.empty()) << ::testing::PrintToString(wrong_folders);
}

INSTANTIATE_TEST_SUITE_P(Lab, ScenarioTest, ::testing::ValuesIn(scenario_names()),
                         [](const ::testing::TestParamInfo<std::string>& scenario) {
                             std::string name = scenario.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
} // namespace lum::lab
