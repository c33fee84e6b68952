// tests/testrun/firewall_test.cpp: the firewall command, started hidden in the temporary folder through a stand-in
// netsh.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_support.h"
#include "testrun/firewall.h"
#include "testrun/run_state.h"

namespace lum {
namespace {

using testing_support::file_contents;
using testing_support::ScratchFolder;
using testing_support::wait_until;

// A program's own folder is searched first for a tool, so the test child copied there as "netsh"
// stands in for the system's command and records how it was called.
class StandInTool {
public:
    explicit StandInTool(const std::string& name)
        : path_(std::filesystem::absolute(name + std::filesystem::path(LUM_RUNNER_CHILD).extension().string())) {
        // MinGW's copy_file refuses to overwrite under Wine, so a copy left by an earlier run goes first.
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
        std::filesystem::copy_file(testing_support::child_program(), path_);
    }
    ~StandInTool() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    StandInTool(const StandInTool&) = delete;
    StandInTool& operator=(const StandInTool&) = delete;

private:
    std::filesystem::path path_;
};

TEST(Firewall, NetshIsStartedHiddenInTheTemporaryFolder) {
    ScratchFolder temp;
    const std::string record = (temp.path() / "netsh-call.txt").string();
    static std::string record_setting;
    record_setting = "LUMTEST_RECORD=" + record;
    putenv(record_setting.data());
    StandInTool netsh("netsh");

    RunState state = make_run_state();
    prepare_paths(state, temp.string(), "");
    switch_firewall_off(state);

    ASSERT_TRUE(wait_until([&] { return file_contents(record).find("[disable]") != std::string::npos; }));
    const std::string recorded = file_contents(record);
    const std::string ran_in = recorded.substr(0, recorded.find('\n'));
    EXPECT_TRUE(std::filesystem::equivalent(ran_in, temp.path())) << recorded;
    EXPECT_EQ(recorded.substr(recorded.find('\n') + 1), "[firewall]\n[set]\n[opmode]\n[disable]\n");
}

} // namespace
} // namespace lum
