// testrun/test5_large_ping.cpp: Test 5: large packets reach the operator's test server.
#include <string>

#include "testrun/common_step.h"
#include "testrun/echo_loss.h"
#include "rules/operator.h"
#include "testrun/report_log.h"
#include "testrun/tests.h"
#include "rules/verdict_rules.h"

namespace lum {

void run_large_ping_test(RunState& state) {
    if (state.ContinueTests != 0) {
        begin_test(state, 5);
        const std::int32_t lost =
            run_ping(state, "-n 10 -l 1400 " + std::string(TEST_SERVER_ADDRESS), LARGE_ECHOES_SENT);
        set_verdict(state, large_ping_passed(lost), OnFailure::RunGoesOn);
    }
    write_report_line("");
}

} // namespace lum
