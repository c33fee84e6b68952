// testrun/test4_test5.cpp: Test 4 (loss and latency to the operator's test server) and Test 5 (large packets).
#include <string>

#include "testrun/operator.h"
#include "testrun/output_scan.h"
#include "testrun/report_log.h"
#include "testrun/test_pattern.h"
#include "testrun/tests.h"

namespace lum {
namespace {

constexpr std::int32_t PROBE_TIMEOUTS_ALLOWED = 3;
constexpr std::int32_t LARGE_TIMEOUTS_ALLOWED = 1;

} // namespace

// No closing line: the next test's name follows the last line of the probe's output directly.
void run_normal_ping_test(RunState& state) {
    if (state.ContinueTests == 0) return;
    state.TimeoutCount = 0;
    begin_test(state, 4);
    run_tool(state, "fping", std::string(TEST_SERVER_ADDRESS) + " -n100 -t100 -w200",
             [&state](const std::string& line) {
                 if (is_fping_timeout(line)) ++state.TimeoutCount;
                 if (average_too_slow(line)) state.SkipMulticastB = 1;
                 return Scan::Continue;
             });
    set_verdict(state, state.TimeoutCount <= PROBE_TIMEOUTS_ALLOWED, OnFailure::StopTheRun);
}

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
