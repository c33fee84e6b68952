// testrun/common_step.h: the step every test shares: its row and name line, then its tools, read line by line.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "testrun/run_state.h"

namespace lum {

enum class Scan { Continue, Stop };

// A test's scan rules for one line of a tool's output; Stop ends the reading at once (the rest of the
// tool's output is neither read nor logged).
using LineScan = std::function<Scan(const std::string& line)>;

// The start of a test that runs: CurrentRow is the test, its name is logged and its row shows.
void begin_test(RunState& state, std::int32_t test);

enum class OnFailure { RunGoesOn, StopTheRun };

// Ends a test's row as Passed or Failed; a failure of a test whose failure stops the run clears
// ContinueTests, so that the tests after it are skipped.
void set_verdict(RunState& state, bool passed, OnFailure on_failure);

// Runs one tool hidden in the temporary folder and reads its output: every non-empty line is
// logged and then scanned; empty lines are neither. A tool that cannot be started adds nothing.
// The window stays painted while the tool is silent. A tool still running when the run's tool limit
// (state.Limits.ToolMs from its start) is due is stopped, and what it wrote up to then, a last line
// without its end too, is read as if it had ended. The tool is released before this returns.
// False when the tool could not be started.
bool run_tool(const RunState& state, std::string_view program, std::string_view arguments, const LineScan& scan);

} // namespace lum
