// testrun/test2_connection.cpp: Test 2: the public resolver answers pings.
#include "testrun/common_step.h"
#include "testrun/echo_loss.h"
#include "testrun/report_log.h"
#include "testrun/tests.h"

namespace lum {
namespace {

// Ping's own count: "-w 1" sets only how long each echo waits.
constexpr std::int32_t ECHOES_SENT = 4;

// One lost echo is tolerated; two are not.
constexpr std::int32_t LOST_ECHOES_ALLOWED = 1;

} // namespace

void run_connection_test(RunState& state) {
    if (state.ContinueTests == 0) {
        write_report_line("");
        return;
    }
    begin_test(state, 2);
    state.TimeoutCount = run_ping(state, "-w 1 8.8.8.8", ECHOES_SENT);
    set_verdict(state, state.TimeoutCount <= LOST_ECHOES_ALLOWED, OnFailure::StopTheRun);
    write_report_line("");
}

} // namespace lum
