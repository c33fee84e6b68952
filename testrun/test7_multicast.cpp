// testrun/test7_multicast.cpp: Test 7: the operator's multicast stream reaches the computer.
#include <string>

#include "runtime/process/process.h"
#include "testrun/common_step.h"
#include "rules/operator.h"
#include "rules/output_scan.h"
#include "testrun/progress_window.h"
#include "testrun/report_log.h"
#include "testrun/tests.h"
#include "rules/verdict_rules.h"

namespace lum {
namespace {

constexpr std::int32_t TEST = 7;

std::string receiver_arguments(std::string_view counts) {
    return std::string(counts) + " " + std::string(MULTICAST_GROUP) + " " + std::string(MULTICAST_PORT);
}

// The first, short receiver is started and left alone: its output is never read or logged, and the
// counted run starts at once. It is released only once the counted run is over, so that closing our
// end of its pipe cannot cut it short.
void count_packets(RunState& state) {
    const std::intptr_t joiner =
        launch_program("mcfirst", receiver_arguments("-c1 -t1"), state.TempDir, Hide | Open | Read);
    run_tool(state, "mcfirst", receiver_arguments("-c10 -t5"), [&state](const std::string& line) {
        if (is_received_packet(line)) ++state.ReceivedCount;
        return Scan::Continue;
    });
    release_program(joiner);
}

} // namespace

// The row is shown in every case; subscribers of the two marked blocks, and runs that an earlier
// failure stopped, see it skipped.
void run_multicast_test(RunState& state) {
    if (state.SkipMulticastA == 1 || state.SkipMulticastB == 1) state.ContinueTests = 0;
    begin_test(state, TEST);
    if (state.ContinueTests == 0) {
        set_row_skipped(state);
    } else {
        count_packets(state);
        set_verdict(state, multicast_passed(state.ReceivedCount), OnFailure::RunGoesOn);
    }
    write_report_line("");
}

} // namespace lum
