// testrun/test4_normal_ping.cpp: Test 4: loss and latency to the operator's test server.
#include <string>

#include "testrun/common_step.h"
#include "rules/operator.h"
#include "rules/output_scan.h"
#include "testrun/tests.h"
#include "rules/verdict_rules.h"

namespace lum {

// No closing line: the next test's name follows the last line of the probe's output directly.
void run_normal_ping_test(RunState& state) {
    if (state.ContinueTests == 0) return;
    state.LostEchoes = 0;
    begin_test(state, 4);
    run_tool(state, "fping", std::string(TEST_SERVER_ADDRESS) + " -n100 -t100 -w200",
             [&state](const std::string& line) {
                 if (is_fping_timeout(line)) ++state.LostEchoes;
                 if (average_too_slow(line)) state.SkipMulticastB = 1;
                 return Scan::Continue;
             });
    set_verdict(state, normal_ping_passed(state.LostEchoes), OnFailure::StopTheRun);
}

} // namespace lum
