// testrun/test2_test3.cpp: Test 2 (the public resolver answers pings) and Test 3 (the operator's DNS answers).
#include <array>
#include <string>

#include "testrun/operator.h"
#include "testrun/output_scan.h"
#include "testrun/report_log.h"
#include "testrun/test_pattern.h"
#include "testrun/tests.h"

namespace lum {
namespace {

// One lost echo is tolerated; two are not.
constexpr std::int32_t CONNECTION_TIMEOUTS_ALLOWED = 1;

// The service host first (the only lookup that decides), then the public hosts, then the service again.
std::array<std::string_view, 6> lookups() {
    return {IPTV_SERVICE_HOST,   PUBLIC_WEB_HOSTS[0], PUBLIC_WEB_HOSTS[1],
            PUBLIC_WEB_HOSTS[2], PUBLIC_WEB_HOSTS[3], IPTV_SERVICE_HOST};
}

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

void run_dns_test(RunState& state) {
    if (state.ContinueTests == 0) {
        write_report_line("");
        return;
    }
    begin_test(state, 3);
    bool first = true;
    for (const std::string_view host : lookups()) {
        run_tool(state, "nslookup", host, [&state, first](const std::string& line) {
            if (first && names_operator_resolver(line)) state.DnsPassed = 1;
            return Scan::Continue;
        });
        first = false;
    }
    // A failed lookup does not stop the run: the tests after it still tell support staff something.
    set_verdict(state, state.DnsPassed != 0, OnFailure::RunGoesOn);
    write_report_line("");
}

} // namespace lum
