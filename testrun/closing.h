// testrun/closing.h: the end of a run: the report's footer and upload, and the closing screen.
#pragma once

#include "runtime/time/time.h"
#include "testrun/run_state.h"

namespace lum {

// Writes the footer with the end time and closes the report.
void finish_report(DateValue end);

// Wraps the report as the multipart body of the upload (TEMP\lumtest.log) and starts the upload,
// which the run neither waits for nor checks.
void upload_report(const RunState& state);

// The two buttons, then events until the user closes the window: "View Log" opens the report,
// "Speed Test" the operator's speed-test page.
void run_closing_screen(const RunState& state);

} // namespace lum
