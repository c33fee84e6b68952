// tests/testrun/firewall_test.cpp: the firewall command through a stand-in netsh, and the firewall put back as it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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
    const std::unique_ptr<FirewallSettings> settings = system_firewall_settings();
    switch_firewall_off(state, *settings);

    ASSERT_TRUE(wait_until([&] { return file_contents(record).find("[disable]") != std::string::npos; }));
    const std::string recorded = file_contents(record);
    const std::string ran_in = recorded.substr(0, recorded.find('\n'));
    EXPECT_TRUE(std::filesystem::equivalent(ran_in, temp.path())) << recorded;
    EXPECT_EQ(recorded.substr(recorded.find('\n') + 1), "[firewall]\n[set]\n[opmode]\n[disable]\n");
}

// Settings whose answers a test chooses, and which the firewall command (played here by the test) can
// change; every switch asked for is noted.
class FakeFirewall final : public FirewallSettings {
public:
    std::array<std::optional<bool>, 3> on{};
    std::array<bool, 3> refuses{};
    std::vector<FirewallProfile> switched;

    std::optional<bool> is_on(FirewallProfile profile) override { return on[index(profile)]; }
    bool switch_on(FirewallProfile profile) override {
        switched.push_back(profile);
        if (refuses[index(profile)]) return false;
        on[index(profile)] = true;
        return true;
    }
    // What the firewall command does to every profile it can switch.
    void command_switches_off() {
        for (std::optional<bool>& profile : on)
            if (profile) profile = false;
    }

private:
    static std::size_t index(FirewallProfile profile) { return static_cast<std::size_t>(profile); }
};

constexpr auto DOMAIN = FirewallProfile::Domain;
constexpr auto PRIVATE = FirewallProfile::Private;
constexpr auto PUBLIC = FirewallProfile::Public;

TEST(Firewall, EveryProfileThatWasOnIsSwitchedBackOnAndNothingElse) {
    struct Case {
        const char* what;
        std::array<std::optional<bool>, 3> before;
        std::array<bool, 3> refuses;
        std::vector<FirewallProfile> switched;
        std::array<std::optional<bool>, 3> after;
    };
    const Case cases[] = {
        {"on before, on after", {true, true, true}, {}, {DOMAIN, PRIVATE, PUBLIC}, {true, true, true}},
        {"off before, left off", {false, true, false}, {}, {PRIVATE}, {false, true, false}},
        {"unreadable, untouched",
         {std::nullopt, std::nullopt, std::nullopt},
         {},
         {},
         {std::nullopt, std::nullopt, std::nullopt}},
        // A refused switch leaves that profile as the command left it, and the others still go back on.
        {"refused, the rest goes on",
         {true, true, true},
         {true, false, false},
         {DOMAIN, PRIVATE, PUBLIC},
         {false, true, true}},
    };
    ScratchFolder temp;
    StandInTool netsh("netsh");
    for (const Case& c : cases) {
        RunState state = make_run_state();
        prepare_paths(state, temp.string(), "");
        FakeFirewall firewall;
        firewall.on = c.before;
        firewall.refuses = c.refuses;
        switch_firewall_off(state, firewall);
        firewall.command_switches_off();
        put_firewall_back(state, firewall);
        EXPECT_EQ(firewall.switched, c.switched) << c.what;
        EXPECT_EQ(firewall.on, c.after) << c.what;
    }
}

} // namespace
} // namespace lum
