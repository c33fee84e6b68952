// tests/lab/rules_change_test.cpp: a verdict changed in the rules library changes the program's rows and the
// results server's reading of the report together.
//
// This binary links changed_verdicts.cpp, whose comparisons take the place of the library's: a program unit or
// a server reader that compared for itself instead of asking the rules would keep the old verdict, and its rows
// would part from the other's at the changed boundary.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "runtime/files/files.h"
#include "runtime/window/inspect.h"
#include "runtime/window/window.h"
#include "scenario_run.h"
#include "server/reports/report_reading.h"
#include "rules/verdict_rules.h"

namespace lum::lab {
namespace {

namespace fs = std::filesystem;
using reports::Verdict;

// Test 2's ping (four echoes) with `lost` of them timed out; Test 7's counted receiver with `packets` received.
void record(const fs::path& source, std::int32_t lost, std::int32_t packets) {
    fs::create_directories(source);
    std::ofstream ping(source / "ping.1.out", std::ios::binary);
    for (std::int32_t echo = 0; echo < CONNECTION_ECHOES_SENT; ++echo)
        ping << (echo < lost ? "Request timed out.\r\n" : "Reply from 8.8.8.8: bytes=32 time=14ms TTL=117\r\n");
    std::ofstream receiver(source / "mcfirst.out", std::ios::binary);
    receiver << "mcfirst joined (*,G) = (*,224.3.2.55)\n";
    for (std::int32_t packet = 0; packet < packets; ++packet)
        receiver << "Received 1316 bytes from 100.102.0.20 after 12.100 ms (ttl/hops 58)\n";
}

TEST(RulesChange, ProgramAndServerFollowTheChangedVerdictsTogether) {
    const testing_support::ScratchFolder nowhere("lumtest_no_tools_");
    set_environment("PATH", nowhere.string());
    set_environment("LUMTEST_RESULTS_SERVER", ""); // the upload is not looked at here
    const struct {
        std::int32_t lost;
        std::int32_t packets;
        Verdict test2;
        Verdict test7;
    } cases[] = {
        // One lost echo more and one packet fewer than the library's rules allow: both pass now.
        {LOST_ECHOES_ALLOWED + 1, PACKETS_NEEDED - 1, Verdict::Ok, Verdict::Ok},
        {LOST_ECHOES_ALLOWED + 1, PACKETS_NEEDED - 2, Verdict::Ok, Verdict::Failed},
        {LOST_ECHOES_ALLOWED + 2, PACKETS_NEEDED, Verdict::Failed, Verdict::Skip}, // the run stops at Test 2
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.lost << " lost echoes, " << c.packets << " packets");
        const testing_support::ScratchFolder scratch;
        record(scratch.path() / "source", c.lost, c.packets);
        const ScenarioSettings settings;
        const Prepared run = prepare(scratch, scratch.path() / "source", settings);
        run_scenario(run, settings, run.temp_value);
        release_stand_ins(run);
        const std::string report = testing_support::file_contents(run.temp / "lumtest.txt");
        const reports::ReadReport reading = reports::read_report(report, settings.public_ip);
        for (const auto& [test, verdict] : {std::pair{2, c.test2}, std::pair{7, c.test7}}) {
            const reports::TestReading& read = reading.tests[static_cast<std::size_t>(test - 1)];
            EXPECT_EQ(read.verdict, verdict) << "the server's Test " << test;
            EXPECT_EQ(get_gadget_text(test), read.row_text) << "the program's Test " << test;
            EXPECT_EQ(get_gadget_color(test, GADGET_COLOR_FRONT), read.row_color) << "the program's Test " << test;
        }
        free_all_fonts();
        close_all_files();
        close_all_windows();
    }
}

} // namespace
} // namespace lum::lab
