// tests/lab/scenario_test.cpp: whole test runs against recorded tool outputs, compared line for line.
//
// Each folder under scenarios/ (over scenarios/base/) holds the stand-in tools' recorded outputs, the
// scenario's settings, and what it expects: the report (report.txt), the rows (rows.txt) and the
// tools' calls (journal.txt). The run goes from the window opening to the closing screen, with the
// real window layer of the build, and a fixed clock for the report's two time stamps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <list>
#include <string>
#include <vector>

#include "close_request.h"
#include "loopback_listener.h"
#include "runtime/files/files.h"
#include "runtime/window/inspect.h"
#include "runtime/window/window.h"
#include "scenario_files.h"
#include "test_support.h"
#include "testrun/closing.h"
#include "testrun/progress_window.h"
#include "testrun/report_log.h"
#include "testrun/tests.h"

namespace lum::lab {
namespace {

namespace fs = std::filesystem;
using testing_support::file_contents;
using testing_support::ScratchFolder;
using testing_support::wait_until;

const fs::path SCENARIOS = "scenarios";

// putenv keeps the string itself, so every setting must outlive the process's use of it.
void set_environment(const std::string& name, const std::string& value) {
    static std::list<std::string> settings;
    settings.push_back(name + "=" + value);
    putenv(settings.back().data());
}

std::vector<std::string> scenario_names() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(SCENARIOS)) {
        if (entry.is_directory() && entry.path().filename() != "base")
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A tool that "cannot be started": its stand-in copy is moved aside for the scenario. Only tools that
// Wine does not bring along may be missing, so that no built-in tool ever runs in their place.
class MissingTools {
public:
    explicit MissingTools(const std::vector<std::string>& tools) {
        const std::string suffix = fs::path(LUM_RUNNER_CHILD).extension().string();
        for (const std::string& tool : tools) {
            const bool allowed =
                tool == "route" || tool == "nslookup" || tool == "fping" || tool == "wget" || tool == "mcfirst";
            EXPECT_TRUE(allowed) << tool << " may not be missing: a built-in tool could run instead";
            if (!allowed) continue;
            const fs::path copy = fs::absolute(tool + suffix);
            fs::rename(copy, fs::path(copy.string() + ".off"));
            moved_.push_back(copy);
        }
    }
    ~MissingTools() {
        for (const fs::path& copy : moved_)
            fs::rename(fs::path(copy.string() + ".off"), copy);
    }
    MissingTools(const MissingTools&) = delete;
    MissingTools& operator=(const MissingTools&) = delete;

private:
    std::vector<fs::path> moved_;
};

struct Prepared {
    fs::path temp;
    fs::path windows;
    fs::path data;
    fs::path journal;
};

Prepared prepare(const ScratchFolder& scratch, const fs::path& source, const ScenarioSettings& settings) {
    Prepared run;
    run.temp = scratch.path() / (settings.temp_with_space ? "Anna Maria Temp" : "Temp");
    run.windows = scratch.path() / "Windows";
    run.data = scratch.path() / "recorded";
    run.journal = scratch.path() / "journal.txt";
    fs::create_directories(run.temp);
    fs::create_directories(run.windows / "system32" / "drivers" / "etc");
    merge_scenario(SCENARIOS / "base", source, run.data);
    if (fs::exists(run.data / "hosts")) fs::copy_file(run.data / "hosts", run.windows / "system32/drivers/etc/hosts");
    set_environment("LUMTEST_SCENARIO", run.data.string());
    set_environment("LUMTEST_JOURNAL", run.journal.string());
    return run;
}

// The run itself, as the program's script has it after its start-up checks.
RunState run_scenario(const Prepared& run, const ScenarioSettings& settings) {
    window_layer_start();
    RunState state = make_run_state();
    state.PublicIp = settings.public_ip;
    state.SkipMulticastA = settings.skip_multicast_a;
    state.SkipMulticastB = settings.skip_multicast_b;
    prepare_paths(state, run.temp.string(), run.windows.string());
    EXPECT_TRUE(open_progress_window(state));
    write_report_header(state, 80, make_date(2014, 3, 9, 8, 5, 7));
    run_network_config_test(state);
    run_connection_test(state);
    run_dns_test(state);
    run_normal_ping_test(state);
    run_large_ping_test(state);
    run_download_test(state, settings.download_limit_ms);
    run_multicast_test(state);
    finish_report(make_date(2014, 3, 9, 8, 6, 59));
    upload_report(state);
    request_progress_window_close();
    run_closing_screen(state);
    return state;
}

void check_rows(const std::vector<ExpectedRow>& rows) {
    for (const ExpectedRow& row : rows) {
        if (!row.present) {
            EXPECT_EQ(gadget_box(row.row).width, 0) << "row " << row.row << " must not exist";
            continue;
        }
        EXPECT_EQ(get_gadget_text(row.row), row.text) << "row " << row.row;
        EXPECT_EQ(get_gadget_color(row.row, GADGET_COLOR_FRONT), row.color) << "row " << row.row;
    }
    for (const std::int32_t button : {8, 9})
        EXPECT_NE(gadget_box(button).width, 0) << "button " << button;
}

// Every line of the report ends with CR LF, whatever the tools ended theirs with.
void check_line_ends(const std::string& report) {
    std::size_t bare = 0;
    for (std::size_t at = 0; at < report.size(); ++at) {
        if (report[at] == '\n' && (at == 0 || report[at - 1] != '\r')) ++bare;
        if (report[at] == '\r' && (at + 1 == report.size() || report[at + 1] != '\n')) ++bare;
    }
    EXPECT_EQ(bare, 0u) << "line ends that are not CR LF";
    EXPECT_TRUE(report.size() >= 2 && report.compare(report.size() - 2, 2, "\r\n") == 0);
}

// The body wraps the report's lines between the part's head and the closing delimiter, and that is
// what reached the results server.
void check_upload(const Prepared& run, testing_support::LoopbackListener* server) {
    const std::string report = file_contents(run.temp / "lumtest.txt");
    const std::string expected = "--FILEUPLOAD\r\n"
                                 "Content-Disposition: form-data; name='userfile'; filename='lumtest.log'\r\n"
                                 "Content-Type: text/plain\r\n"
                                 "\r\n" +
                                 report + "\r\n--FILEUPLOAD--\r\n";
    EXPECT_EQ(file_contents(run.temp / "lumtest.log"), expected);
    if (server == nullptr) return;
    const testing_support::HttpRequest posted = testing_support::parse_http_request(server->request());
    EXPECT_EQ(posted.request_line, "POST /lumnettestresult.php HTTP/1.0");
    EXPECT_EQ(testing_support::header_value(posted, "Host"), "nettest.lumora.example");
    EXPECT_EQ(testing_support::header_value(posted, "Content-Type"), "multipart/form-Data; boundary=FILEUPLOAD");
    EXPECT_EQ(posted.body, expected);
}

// Line lists can be long: the first difference, with its line number, says more than both lists.
::testing::AssertionResult same_lines(const std::vector<std::string>& actual,
                                      const std::vector<std::string>& expected) {
    const std::size_t common = std::min(actual.size(), expected.size());
    for (std::size_t line = 0; line < common; ++line) {
        if (actual[line] == expected[line]) continue;
        return ::testing::AssertionFailure()
               << "line " << line + 1 << " is\n  [" << actual[line] << "]\nexpected\n  [" << expected[line] << "]";
    }
    if (actual.size() == expected.size()) return ::testing::AssertionSuccess();
    const bool longer = actual.size() > expected.size();
    return ::testing::AssertionFailure() << (longer ? "extra line " : "missing line ") << common + 1 << ": ["
                                         << (longer ? actual[common] : expected[common]) << "]";
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
        run_scenario(run, settings);
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
    check_upload(run, uploads ? &server : nullptr);
    std::vector<std::string> wrong_folders;
    EXPECT_TRUE(
        same_lines(read_journal(run.journal, run.temp, wrong_folders), read_expected_journal(source / "journal.txt")))
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
