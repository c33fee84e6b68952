// testrun/test6_download.cpp: Test 6: the download speed, from the download tool's own log.
#include <string>

#include "runtime/files/files.h"
#include "runtime/process/process.h"
#include "runtime/window/window.h"
#include "testrun/common_step.h"
#include "rules/operator.h"
#include "rules/output_scan.h"
#include "testrun/progress_window.h"
#include "testrun/report_log.h"
#include "testrun/tests.h"

namespace lum {
namespace {

constexpr std::int32_t TEST = 6;
constexpr std::int32_t LOG_FILE = 1;
constexpr std::int32_t PAINT_INTERVAL_MS = 50;

// A path with a blank would otherwise be cut in two on the command line: "C:\Users\Anna Maria\...".
std::string quoted_if_needed(const std::string& path) {
    if (path.find_first_of(" \t") == std::string::npos) return path;
    return "\"" + path + "\"";
}

// The tool writes the file to the null device and its log to the temporary folder. The run waits for
// it, keeping the window painted; the runner stops it when it takes longer than the download's limit:
// a download cut short has no finished-transfer line, so the test fails.
void download(const RunState& state) {
    const std::string arguments =
        "-ONUL " + results_server_url(DOWNLOAD_PATH) + " -o " + quoted_if_needed(state.WgetLogPath);
    const std::intptr_t tool = launch_program("wget", arguments, state.TempDir, Hide | Open);
    if (tool == 0) return;
    limit_program_time(tool, state.Limits.DownloadMs);
    while (!wait_for_program_end(tool, PAINT_INTERVAL_MS))
        keep_windows_painted();
    release_program(tool);
}

void read_download_log(RunState& state) {
    open_text_file(LOG_FILE, state.WgetLogPath);
    while (!at_end_of_file(LOG_FILE)) {
        const std::string line = download_log_text(read_text_line(LOG_FILE));
        if (is_download_noise(line)) continue;
        write_report_line(line);
        if (!is_finished_transfer(line)) continue;
        state.SpeedText = download_speed_text(line);
        state.SpeedFound = 1;
    }
    close_text_file(LOG_FILE);
}

} // namespace

void run_download_test(RunState& state) {
    if (state.ContinueTests != 0) {
        begin_test(state, TEST);
        download(state);
        read_download_log(state);
        if (state.SpeedFound == 1) {
            set_row_passed(state, download_row_verdict(state.SpeedText));
        } else {
            set_row_failed(state);
        }
    }
    write_report_line("");
}

} // namespace lum
