// testrun/test1_network_config.cpp: Test 1: a usable address configuration, then the routing, connection and hosts
// dumps.
#include <string>

#include "runtime/files/files.h"
#include "testrun/common_step.h"
#include "rules/output_scan.h"
#include "testrun/report_log.h"
#include "testrun/tests.h"

namespace lum {
namespace {

constexpr std::int32_t TEST = 1;
constexpr std::int32_t HOSTS_FILE = 1;

void check_configuration(RunState& state) {
    run_tool(state, "ipconfig", "/all", [&state](const std::string& line) {
        if (!has_pass_marker(line)) return Scan::Continue;
        state.MarkerFound = 1;
        return Scan::Stop;
    });
    set_verdict(state, state.MarkerFound != 0, OnFailure::StopTheRun);
    write_report_line("");
}

// For support staff only: nothing in these dumps changes the verdict.
void dump_tool(const RunState& state, std::string_view heading, std::string_view program, std::string_view arguments) {
    write_report_line(heading);
    run_tool(state, program, arguments, [](const std::string&) { return Scan::Continue; });
    write_report_line("");
}

// Comment lines of the hosts file are left out; empty lines are kept, unlike a tool's.
void dump_hosts_file(const RunState& state) {
    write_report_line(HOSTS_HEADING);
    open_text_file(HOSTS_FILE, join_path(state.WinDir, "system32\\drivers\\etc\\hosts"));
    while (!at_end_of_file(HOSTS_FILE)) {
        const std::string line = read_text_line(HOSTS_FILE);
        if (line.empty() || line.front() != '#') write_report_line(line);
    }
    close_text_file(HOSTS_FILE);
    write_report_line("");
}

} // namespace

void run_network_config_test(RunState& state) {
    begin_test(state, TEST);
    check_configuration(state);
    dump_tool(state, ROUTE_HEADING, "route", "print");
    dump_tool(state, NETSTAT_HEADING, "netstat", "-abn");
    dump_hosts_file(state);
}

} // namespace lum
