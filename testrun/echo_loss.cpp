// testrun/echo_loss.cpp: Tests 2 and 5: one ping run and the echoes it lost, in any display language.
#include "testrun/echo_loss.h"

#include <string>

#include "testrun/common_step.h"
#include "rules/output_scan.h"

namespace lum {

std::int32_t run_ping(const RunState& state, std::string_view arguments, std::int32_t sent) {
    EchoTally tally;
    const bool started = run_tool(state, "ping", arguments, [&tally](const std::string& line) {
        count_ping_line(tally, line);
        return Scan::Continue;
    });
    return started ? lost_echoes(tally, sent) : 0;
}

} // namespace lum
