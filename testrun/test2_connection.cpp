// testrun/test2_connection.cpp: Test 2: the public resolver answers pings.
#include "testrun/common_step.h"
#include "testrun/echo_loss.h"
#include "testrun/report_log.h"
#include "testrun/tests.h"
#include "rules/verdict_rules.h"

namespace lum {

void run_connection_test(RunState& state) {
    if (state.ContinueTests == 0) {
        write_report_line("");
        return;
    }
    begin_test(state, 2);
    state.LostEchoes = run_ping(state, "-w 1 8.8.8.8", CONNECTION_ECHOES_SENT);
    set_verdict(state, connection_passed(state.LostEchoes), OnFailure::StopTheRun);
    write_report_line("");
}

} // namespace lum
