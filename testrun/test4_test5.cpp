// testrun/test4_test5.cpp: Test 4 (loss and latency to the operator's test server) and Test 5 (large packets).
#include <string>

#include "runtime/text/text.h"
#include "testrun/operator.h"
#include "testrun/report_log.h"
#include "testrun/test_pattern.h"
#include "testrun/tests.h"

namespace lum {
namespace {

constexpr std::int32_t PROBE_TIMEOUTS_ALLOWED = 3;
constexpr std::int32_t LARGE_TIMEOUTS_ALLOWED = 1;

// Above this average round trip (ms) the multicast stream would not play well, so its test is skipped.
constexpr std::int64_t MULTICAST_LATENCY_LIMIT = 60;

// The summary line's fourth "="-separated field starts with the average in whole milliseconds.
void check_average(RunState& state, const std::string& line) {
    if (find_substring(line, "Average") == 0) return;
    if (parse_integer(split_field(line, 4, "=")) > MULTICAST_LATENCY_LIMIT) state.SkipMulticastB = 1;
}

} // namespace

// No closing line: the next test's name follows the last line of the probe's output directly.
void run_normal_ping_test(RunState& state) {
    if (state.ContinueTests == 0) return;
    state.TimeoutCount = 0;
    begin_test(state, 4);
    run_tool(state, "fping", std::string(TEST_SERVER_ADDRESS) + " -n100 -t100 -w200",
             [&state](const std::string& line) {
                 if (find_substring(line, "request timed out") != 0) ++state.TimeoutCount;
                 check_average(state, line);
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
                     if (find_substring(line, "Request timed out") != 0) ++large_timeouts;
                     return Scan::Continue;
                 });
        set_verdict(state, large_timeouts <= LARGE_TIMEOUTS_ALLOWED, OnFailure::RunGoesOn);
    }
    write_report_line("");
}

} // namespace lum
