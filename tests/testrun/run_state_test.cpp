// tests/testrun/run_state_test.cpp: the run state at the start of a run, its paths, and the operator's constants.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "runtime/files/files.h"
#include "rules/operator.h"
#include "testrun/run_state.h"
#include "test_support.h"

namespace lum {
namespace {

TEST(RunState, StartsWithTheSevenTestNamesAndTestsEnabled) {
    const RunState state = make_run_state();
    const char* expected[TABLE_SLOTS] = {
        "",
        "Test 1: Network Config",
        "Test 2: Network Connection",
        "Test 3: DNS Resolve",
        "Test 4: Normal Ping (32 Bytes) Test ",
        "Test 5: Large Packet Ping (1400 Bytes) Test",
        "Test 6: HTTP Get File Test",
        "Test 7: Multicast Test",
        "",
        "",
        "",
    };
    for (std::size_t slot = 0; slot < TABLE_SLOTS; ++slot) {
        EXPECT_EQ(state.TestNames[slot], expected[slot]) << "slot " << slot;
    }
    EXPECT_EQ(state.MarkerFound, 0);
    EXPECT_EQ(state.ContinueTests, 1);
    EXPECT_TRUE(state.PublicIp.empty());
    EXPECT_EQ(state.SkipMulticastA, 0);
    EXPECT_EQ(state.SkipMulticastB, 0);
}

// On Windows "\\" joins the names; the Linux build uses "/", so that its tools can be handed the paths.
TEST(RunState, PathsLieInTheTemporaryFolder) {
    const std::string separator(1, path_separator());
    RunState state = make_run_state();
    prepare_paths(state, "C:\\Users\\Anna Maria\\AppData\\Local\\Temp", "C:\\WINDOWS");
    EXPECT_EQ(state.TempDir, "C:\\Users\\Anna Maria\\AppData\\Local\\Temp");
    EXPECT_EQ(state.WinDir, "C:\\WINDOWS");
    EXPECT_EQ(state.ReportPath, "C:\\Users\\Anna Maria\\AppData\\Local\\Temp" + separator + "lumtest.txt");
    EXPECT_EQ(state.UploadPath, "C:\\Users\\Anna Maria\\AppData\\Local\\Temp" + separator + "lumtest.log");
    EXPECT_EQ(state.WgetLogPath, "C:\\Users\\Anna Maria\\AppData\\Local\\Temp" + separator + "wget.log");
}

TEST(RunState, UnsetTemporaryFolderGivesRootedNames) {
    const std::string separator(1, path_separator());
    RunState state = make_run_state();
    prepare_paths(state, "", "");
    EXPECT_EQ(state.ReportPath, separator + "lumtest.txt");
    EXPECT_EQ(state.UploadPath, separator + "lumtest.log");
    EXPECT_EQ(state.WgetLogPath, separator + "wget.log");
    EXPECT_TRUE(state.TempDir.empty());
}

TEST(JoinPath, UsesThePlatformsSeparatorInsideTheName) {
    const char separator = path_separator();
    EXPECT_EQ(join_path("/tmp", "system32\\drivers\\etc\\hosts"),
              separator == '/' ? "/tmp/system32/drivers/etc/hosts" : "/tmp\\system32\\drivers\\etc\\hosts");
    EXPECT_EQ(join_path("C:\\A B", "x"), std::string("C:\\A B") + separator + "x");
}

TEST(Operator, CustomerPrefixesHaveTheirFixedForm) {
    const std::size_t lengths[] = {8, 7, 8, 8, 8, 8, 7};
    for (std::size_t entry = 0; entry < CustomerPrefixes.size(); ++entry) {
        const auto prefix = CustomerPrefixes[entry];
        EXPECT_EQ(prefix.size(), lengths[entry]) << prefix;
        EXPECT_EQ(prefix.back(), '.') << prefix;
        EXPECT_EQ(std::count(prefix.begin(), prefix.end(), '.'), 2) << prefix;
    }
    // The multicast exclusion compares entries 2 and 6 without their dot; no other entry may start the same way.
    for (const std::size_t excluded : {std::size_t{1}, std::size_t{5}}) {
        const auto stem = CustomerPrefixes[excluded].substr(0, CustomerPrefixes[excluded].size() - 1);
        for (std::size_t other = 0; other < CustomerPrefixes.size(); ++other) {
            if (other == excluded) continue;
            EXPECT_NE(CustomerPrefixes[other].substr(0, stem.size()), stem);
        }
    }
    // The operator's test server lies in entry 4, one of the configuration test's pass markers.
    EXPECT_EQ(TEST_SERVER_ADDRESS.substr(0, CustomerPrefixes[3].size()), CustomerPrefixes[3]);
}

// A folder as the candidates hold it: nullptr stands for one that cannot be spelled.
std::optional<std::string> spelled(const char* folder) {
    return folder != nullptr ? std::optional<std::string>(folder) : std::nullopt;
}

// Which folder takes the run's files, for each folder that can or cannot hold the report or be spelled.
TEST(TempFolder, TempWhenTheReportFitsThereElseTheFirstFallbackThatTakesIt) {
    const struct {
        const char* temp;
        const char* tmp;
        const char* system;
        std::vector<std::string> usable;
        const char* chosen;
    } cases[] = {
        {"C:\\Temp", "C:\\Tmp", "C:\\Sys", {"C:\\Temp", "C:\\Tmp", "C:\\Sys"}, "C:\\Temp"},
        {"C:\\Gone", "C:\\Tmp", "C:\\Sys", {"C:\\Tmp", "C:\\Sys"}, "C:\\Tmp"},
        {"C:\\Gone", "C:\\Gone", "C:\\Sys", {"C:\\Sys"}, "C:\\Sys"},
        {"C:\\Gone", "", "C:\\Sys", {"C:\\Sys"}, "C:\\Sys"},
        {"", "C:\\Tmp", "C:\\Sys", {"", "C:\\Tmp"}, ""}, // unset, and the drive's root takes it
        {"", "C:\\Tmp", "C:\\Sys", {"C:\\Tmp"}, "C:\\Tmp"},
        {"C:\\Gone", "C:\\Locked", "", {}, "C:\\Gone"}, // nothing takes it: as TEMP says
        // Named beyond the code page without a short name: the next folder that can be spelled.
        {nullptr, nullptr, "C:\\Windows\\Temp", {"C:\\Windows\\Temp"}, "C:\\Windows\\Temp"},
        {nullptr, "C:\\Tmp", "C:\\Sys", {"C:\\Tmp", "C:\\Sys"}, "C:\\Tmp"},
        {nullptr, nullptr, "", {"", "C:\\Users\\??\\Temp"}, "C:\\Users\\??\\Temp"}, // as TEMP was read
    };
    for (const auto& c : cases) {
        const TempCandidates candidates{spelled(c.temp), spelled(c.tmp), c.system, "C:\\Users\\??\\Temp"};
        std::vector<std::string> asked;
        const std::string chosen = choose_temp_folder(candidates, [&](const std::string& folder) {
            asked.push_back(folder);
            return std::find(c.usable.begin(), c.usable.end(), folder) != c.usable.end();
        });
        const std::string temp = c.temp != nullptr ? c.temp : "(beyond the code page)";
        EXPECT_EQ(chosen, c.chosen) << temp;
        if (c.temp != nullptr) {
            EXPECT_EQ(std::count(asked.begin(), asked.end(), c.temp), 1) << "TEMP is asked once: " << temp;
        }
        EXPECT_EQ(std::count(asked.begin(), asked.end(), "C:\\Users\\??\\Temp"), 0) << "never the ? " << temp;
    }
}

TEST(TempFolder, ReportCanBeCreatedOnlyInAFolderThatTakesFiles) {
    const testing_support::ScratchFolder scratch;
    EXPECT_TRUE(report_can_be_created(scratch.string()));
    EXPECT_TRUE(std::filesystem::exists(scratch.path() / "lumtest.txt"));
    EXPECT_FALSE(report_can_be_created((scratch.path() / "missing").string()));
    std::filesystem::create_directory(scratch.path() / "lumtest_dir");
    std::filesystem::create_directory(scratch.path() / "lumtest_dir" / "lumtest.txt");
    EXPECT_FALSE(report_can_be_created((scratch.path() / "lumtest_dir").string())) << "a folder named like the report";
}

} // namespace
} // namespace lum
