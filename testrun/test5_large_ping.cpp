// testrun/test5_large_ping.cpp: Test 5: large packets reach the operator's test server.
#include <string>

#include "testrun/common_step.h"
#include "testrun/operator.h"
#include "testrun/output_scan.h"
#include "testrun/report_log.h"
#include "testrun/tests.h"

namespace lum {
namespace {

constexpr std::int32_t LARGE_TIMEOUTS_ALLOWED = 1;

} // namespace

void run_large_ping_test(RunState& state) {
    if (state.ContinueTests != 0) {
        std::int32_t large_timeouts = 0;
        begin_test(state, 5);
        run_tool(state, "ping", "-n 10 -l 1400 " + std::string(TEST_SERVER_ADDRESS),
                 [&large_timeouts](const std::string& line) {
                     if (is_ping_timeout(line)) ++large_timeouts;
                     return Scan::Continue;
                 });
        set_verdict(state, large_timeouts <= LARGE_TIMEOUTS_ALLOWED, OnFailure::RunGoesOn);
    }
    write_report_line("");
}

} // namespace lum
