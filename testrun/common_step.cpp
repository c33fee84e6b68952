// testrun/common_step.cpp: the step every test shares: row, name line, tools read line by line into the report.
#include "testrun/common_step.h"

#include "runtime/process/process.h"
#include "runtime/window/window.h"
#include "testrun/progress_window.h"
#include "testrun/report_log.h"

namespace lum {
namespace {

// How long a silent tool may keep the window from being painted.
constexpr std::int32_t PAINT_INTERVAL_MS = 50;

// Hidden, kept and read: the tool's window never shows and its output comes back to us.
constexpr std::int32_t CAPTURED = Hide | Open | Read;

} // namespace

void begin_test(RunState& state, std::int32_t test) {
    state.CurrentRow = test;
    write_report_line(state.TestNames[static_cast<std::size_t>(test)]);
    show_row(state);
}

void set_verdict(RunState& state, bool passed, OnFailure on_failure) {
    if (passed) {
        set_row_passed(state);
        return;
    }
    set_row_failed(state);
    if (on_failure == OnFailure::StopTheRun) state.ContinueTests = 0;
}

bool run_tool(const RunState& state, std::string_view program, std::string_view arguments, const LineScan& scan) {
    const std::intptr_t tool = launch_program(program, arguments, state.TempDir, CAPTURED);
    if (tool == 0) return false;
    limit_program_time(tool, state.Limits.ToolMs);
    while (program_pending(tool)) {
        while (!wait_for_program_output(tool, PAINT_INTERVAL_MS))
            keep_windows_painted();
        const std::string line = read_program_line(tool);
        if (line.empty()) continue;
        write_report_line(line);
        if (scan(line) == Scan::Stop) break;
    }
    release_program(tool);
    return true;
}

} // namespace lum
