// testrun/main.cpp: the program's entry: the test run as one straight script, with one ending for every path.
#include <memory>

#include "runtime/process/process.h"
#include "runtime/system/firewall_settings.h"
#include "runtime/system/run_claim.h"
#include "runtime/system/system.h"
#include "runtime/time/time.h"
#include "runtime/window/window.h"
#include "testrun/closing.h"
#include "testrun/firewall.h"
#include "rules/operator.h"
#include "testrun/progress_window.h"
#include "testrun/report_log.h"
#include "testrun/run_state.h"
#include "testrun/services.h"
#include "testrun/startup_check.h"
#include "testrun/tests.h"

namespace lum {
namespace {

// Two runs at once would fight over the report, the firewall command and the multicast port.
constexpr std::string_view RUN_CLAIM_NAME = "LumoraNetworkTest.run";

// Every stage that fails returns here early; what follows the call is the common ending. A second start
// shows the user the run that is going (its window, once it has one) and ends.
void run_script() {
    const RunClaim claim = claim_run(RUN_CLAIM_NAME);
    if (claim.refused()) {
        raise_window_titled(PROGRAM_TITLE);
        return;
    }
    RunState state = make_run_state();
    if (!passes_startup_check(state)) return;
    const std::string temp = choose_temp_folder(read_temp_candidates(), report_can_be_created);
    prepare_paths(state, temp, environment_value("windir"));
    // Whatever happens after the firewall command, the firewall goes back on as it was before the footer.
    const std::unique_ptr<FirewallSettings> firewall = system_firewall_settings();
    switch_firewall_off(state, *firewall);
    if (!open_progress_window(state)) {
        put_firewall_back(state, *firewall);
        return;
    }
    const std::int32_t os_code = os_version_code();
    write_report_header(state, os_code, now_seconds());
    run_all_tests(state);
    put_firewall_back(state, *firewall);
    finish_report(now_seconds());
    upload_report(state);
    run_closing_screen(state);
}

} // namespace
} // namespace lum

// The program takes no arguments and ends with exit code 0 on every path: the code tells the user
// nothing, the window and the report do.
int main() {
    lum::start_runtime_services();
    lum::run_script();
    lum::stop_runtime_services();
    return 0;
}
