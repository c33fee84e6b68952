// tests/lab/scenario_run.cpp: one whole test run against a scenario's recordings, and the checks of what it left
// behind.
#include "scenario_run.h"

#include <cstdlib>
#include <fstream>
#include <list>

#include "close_request.h"
#include "runtime/files/files.h"
#include "runtime/window/inspect.h"
#include "runtime/window/window.h"
#include "testrun/closing.h"
#include "testrun/progress_window.h"
#include "testrun/report_log.h"
#include "testrun/tests.h"

namespace lum::lab {

namespace fs = std::filesystem;
using testing_support::file_contents;

void set_environment(const std::string& name, const std::string& value) {
    static std::list<std::string> settings;
    settings.push_back(name + "=" + value);
    putenv(settings.back().data());
}

MissingTools::MissingTools(const std::vector<std::string>& tools) {
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

MissingTools::~MissingTools() {
    for (const fs::path& copy : moved_)
        fs::rename(fs::path(copy.string() + ".off"), copy);
}

namespace {

std::string temp_folder_name(const ScenarioSettings& settings) {
    if (!settings.temp_name.empty()) return settings.temp_name;
    return settings.temp_with_space ? "Anna Maria Temp" : "Temp";
}

// The hosts file, or in its place a folder of that name with a file inside, which must not be read.
void place_hosts_file(const Prepared& run, const ScenarioSettings& settings) {
    const fs::path hosts = run.windows / "system32" / "drivers" / "etc" / "hosts";
    if (settings.hosts_directory) {
        fs::create_directories(hosts);
        std::ofstream(hosts / "inside.txt") << "not a hosts line\n";
    } else if (fs::exists(run.data / "hosts")) {
        fs::copy_file(run.data / "hosts", hosts);
    }
}

} // namespace

Prepared prepare(const testing_support::ScratchFolder& scratch, const fs::path& source,
                 const ScenarioSettings& settings) {
    Prepared run;
    // A path made from bytes reads them as Latin-1 on Windows, which agrees with the system's code page
    // (1252) for the names used here; path::string() would give them back in UTF-8 instead.
    run.temp = scratch.path() / temp_folder_name(settings);
    run.temp_value = scratch.string() + path_separator() + temp_folder_name(settings);
    run.windows = scratch.path() / "Windows";
    run.data = scratch.path() / "recorded";
    run.journal = scratch.path() / "journal.txt";
    fs::create_directories(run.temp);
    fs::create_directories(run.windows / "system32" / "drivers" / "etc");
    merge_scenario(SCENARIOS_BASE, source, run.data);
    place_hosts_file(run, settings);
    set_environment("LUMTEST_SCENARIO", run.data.string());
    set_environment("LUMTEST_JOURNAL", run.journal.string());
    return run;
}

RunState run_scenario(const Prepared& run, const ScenarioSettings& settings, const std::string& temp_value) {
    window_layer_start();
    RunState state = make_run_state();
    state.PublicIp = settings.public_ip;
    state.SkipMulticastA = settings.skip_multicast_a;
    state.SkipMulticastB = settings.skip_multicast_b;
    state.Limits = settings.limits;
    prepare_paths(state, temp_value, run.windows.string());
    EXPECT_TRUE(open_progress_window(state));
    write_report_header(state, 80, make_date(2014, 3, 9, 8, 5, 7));
    run_all_tests(state);
    finish_report(make_date(2014, 3, 9, 8, 6, 59));
    upload_report(state);
    request_progress_window_close();
    run_closing_screen(state);
    return state;
}

void release_stand_ins(const Prepared& run) { std::ofstream(run.data / "release") << "done\n"; }

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

void check_line_ends(const std::string& report) {
    std::size_t bare = 0;
    for (std::size_t at = 0; at < report.size(); ++at) {
        if (report[at] == '\n' && (at == 0 || report[at - 1] != '\r')) ++bare;
        if (report[at] == '\r' && (at + 1 == report.size() || report[at + 1] != '\n')) ++bare;
    }
    EXPECT_EQ(bare, 0u) << "line ends that are not CR LF";
    EXPECT_TRUE(report.size() >= 2 && report.compare(report.size() - 2, 2, "\r\n") == 0);
}

namespace {

// The report as the upload copies it: line by line through the file service, so that a zero byte in a
// tool's line ends a line there, as the file service's reading rules have it.
std::string report_as_copied(const std::string& report_path) {
    std::string copied;
    constexpr ObjectNumber READER = 5;
    open_text_file(READER, report_path);
    while (!at_end_of_file(READER))
        copied += read_text_line(READER) + "\r\n";
    close_text_file(READER);
    return copied;
}

} // namespace

std::string upload_body(const std::string& report_lines) {
    return "--FILEUPLOAD\r\n"
           "Content-Disposition: form-data; name='userfile'; filename='lumtest.log'\r\n"
           "Content-Type: text/plain\r\n"
           "\r\n" +
           report_lines + "\r\n--FILEUPLOAD--\r\n";
}

void check_upload(const std::string& temp_value, testing_support::LoopbackListener* server) {
    const std::string expected = upload_body(report_as_copied(join_path(temp_value, "lumtest.txt")));
    EXPECT_TRUE(file_contents(fs::path(temp_value) / "lumtest.log") == expected) << "the upload body";
    if (server == nullptr) return;
    const testing_support::HttpRequest posted = testing_support::parse_http_request(server->request());
    EXPECT_EQ(posted.request_line, "POST /lumnettestresult.php HTTP/1.0");
    EXPECT_EQ(testing_support::header_value(posted, "Host"), "nettest.lumora.example");
    EXPECT_EQ(testing_support::header_value(posted, "Content-Type"), "multipart/form-Data; boundary=FILEUPLOAD");
    EXPECT_TRUE(posted.body == expected) << "the posted body";
}

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

} // namespace lum::lab
