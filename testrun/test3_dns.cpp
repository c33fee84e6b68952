// testrun/test3_dns.cpp: Test 3: the operator's DNS answers for its IPTV service.
#include <array>
#include <string>

#include "testrun/common_step.h"
#include "rules/operator.h"
#include "rules/output_scan.h"
#include "testrun/report_log.h"
#include "testrun/tests.h"

namespace lum {
namespace {

// The service host first (the only lookup that decides), then the public hosts, then the service again.
std::array<std::string_view, 6> lookups() {
    return {IPTV_SERVICE_HOST,   PUBLIC_WEB_HOSTS[0], PUBLIC_WEB_HOSTS[1],
            PUBLIC_WEB_HOSTS[2], PUBLIC_WEB_HOSTS[3], IPTV_SERVICE_HOST};
}

} // namespace

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
