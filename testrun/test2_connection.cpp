// testrun/test2_connection.cpp: Test 2: the public resolver answers pings.
#include <string>

#include "testrun/common_step.h"
#include "testrun/output_scan.h"
#include "testrun/report_log.h"
#include "testrun/tests.h"

namespace lum {
namespace {

// One lost echo is tolerated; two are not.
constexpr std::int32_t CONNECTION_TIMEOUTS_ALLOWED = 1;

} // namespace

void run_connection_test(RunState& state) {
    if (state.ContinueTests == 0) {
        write_report_line("");
        return;
    }
    state.TimeoutCount = 0;
    begin_test(state, 2);
    run_tool(state, "ping", "-w 1 8.8.8.8", [&state](const std::string& line) {
        if (is_ping_timeout(line)) ++state.TimeoutCount;
        return Scan::Continue;
    });
    set_verdict(state, state.TimeoutCount <= CONNECTION_TIMEOUTS_ALLOWED, OnFailure::StopTheRun);
    write_report_line("");
}

} // namespace lum
