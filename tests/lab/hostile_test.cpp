// tests/lab/hostile_test.cpp: whole runs in hostile situations: floods of output, a full disk, a TEMP that cannot be
// used.
//
// Each run plays the base recordings with one hostile twist, then checks that every row was shown and
// that the report on disk holds every byte that was written before the fault. The answers of odd
// results servers are in hostile_server_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "hostile_mounts.h"
#include "runtime/files/files.h"
#include "runtime/window/inspect.h"
#include "runtime/window/window.h"
#include "scenario_run.h"
#include "tests/lab/stand_in/flood_lines.h"

namespace lum::lab {
namespace {

namespace fs = std::filesystem;
using testing_support::file_contents;
using testing_support::ScratchFolder;

// Absolute: one test runs with another current folder.
const fs::path ALL_PASS = fs::absolute("scenarios/all-pass");
constexpr std::size_t FLOOD_WIDTH = 78;

// The report read in blocks, line by line, without holding a flood's worth of lines: flood lines and
// very long lines are checked as they pass, the others are kept.
struct ReportScan {
    std::vector<std::string> kept;
    unsigned long flood_lines = 0;
    bool flood_in_order = true;
    std::size_t flood_at = 0; // where the flood began among the kept lines
    std::vector<std::size_t> long_lines;
    bool long_lines_intact = true;

    void take(const std::string& line) {
        if (line.compare(0, 6, "flood ") == 0) {
            if (flood_lines == 0) flood_at = kept.size();
            ++flood_lines;
            if (line != flood_line(flood_lines, FLOOD_WIDTH)) flood_in_order = false;
        } else if (line.size() > 1000000) {
            long_lines.push_back(line.size());
            if (!is_letter_run(line)) long_lines_intact = false;
        } else {
            kept.push_back(line);
        }
    }
};

// Lines end with CR LF in the report; a CR or LF alone is part of a tool's line.
ReportScan scan_report(const fs::path& report) {
    ReportScan scan;
    std::ifstream in(report, std::ios::binary);
    std::string pending;
    std::vector<char> block(1 << 20);
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
        pending.append(block.data(), static_cast<std::size_t>(in.gcount()));
        std::size_t begin = 0;
        for (std::size_t end; (end = pending.find("\r\n", begin)) != std::string::npos; begin = end + 2)
            scan.take(pending.substr(begin, end - begin));
        pending.erase(0, begin);
    }
    EXPECT_TRUE(pending.empty()) << "the report does not end with CR LF";
    return scan;
}

class HostileRun : public ::testing::Test {
protected:
    // Only the stand-ins can be started, and no upload is posted: a flood's upload body would only
    // be read into memory again by the listener.
    static void SetUpTestSuite() {
        static ScratchFolder nowhere("lumtest_no_tools_");
        set_environment("PATH", nowhere.string());
        set_environment("LUMTEST_RESULTS_SERVER", "");
    }

    void TearDown() override {
        if (!run_.data.empty()) release_stand_ins(run_);
        free_all_fonts();
        close_all_files();
        close_all_windows();
    }

    // The base recordings with `files` of the test's own (e.g. "route.act") laid over them.
    void stage(const std::map<std::string, std::string>& files) {
        const fs::path source = scratch_.path() / "source";
        fs::create_directories(source);
        for (const auto& [name, bytes] : files)
            std::ofstream(source / name, std::ios::binary) << bytes;
        run_ = prepare(scratch_, source, ScenarioSettings{});
    }

    void run(const std::string& temp_value) { run_scenario(run_, ScenarioSettings{}, temp_value); }

    std::vector<std::string> expected_report() const {
        return lab::expected_report(ALL_PASS / "report.txt", run_.data);
    }

    void expect_all_passed_and_report_in(const std::string& folder) {
        check_rows(read_rows(ALL_PASS / "rows.txt"));
        EXPECT_TRUE(same_lines(split_lines(file_contents(fs::path(folder) / "lumtest.txt")), expected_report()));
        std::vector<std::string> wrong_folders;
        read_journal(run_.journal, folder, wrong_folders);
        EXPECT_TRUE(wrong_folders.empty()) << "tools ran elsewhere: " << ::testing::PrintToString(wrong_folders);
    }

    ScratchFolder scratch_;
    Prepared run_;
};

TEST_F(HostileRun, ToolPrinting200MegabytesIsLoggedLineForLine) {
    constexpr unsigned long LINES = 2'500'000; // 80 bytes each with CR LF
    stage({{"route.act", "flood " + std::to_string(LINES) + " " + std::to_string(FLOOD_WIDTH) + "\n"}});
    run(run_.temp_value);
    check_rows(read_rows(ALL_PASS / "rows.txt"));
    const ReportScan scan = scan_report(run_.temp / "lumtest.txt");
    EXPECT_EQ(scan.flood_lines, LINES);
    EXPECT_TRUE(scan.flood_in_order) << "a flood line was lost, doubled or changed";
    EXPECT_TRUE(same_lines(scan.kept, expected_report()));
    ASSERT_LT(scan.flood_at + 1, scan.kept.size());
    EXPECT_EQ(scan.kept[scan.flood_at + 1], "netstat -abn") << "the flood is not where route's output ends";
    // The upload body wraps the same bytes: its size tells, without reading 200 MB again.
    EXPECT_EQ(fs::file_size(run_.temp / "lumtest.log"),
              fs::file_size(run_.temp / "lumtest.txt") + upload_body("").size());
}

TEST_F(HostileRun, OneLineOf50MegabytesIsLoggedWhole) {
    constexpr std::size_t BYTES = 50u << 20;
    stage({{"netstat.act", "long-line " + std::to_string(BYTES) + "\n"}});
    run(run_.temp_value);
    check_rows(read_rows(ALL_PASS / "rows.txt"));
    const ReportScan scan = scan_report(run_.temp / "lumtest.txt");
    EXPECT_EQ(scan.long_lines, std::vector<std::size_t>{BYTES});
    EXPECT_TRUE(scan.long_lines_intact);
    EXPECT_TRUE(same_lines(scan.kept, expected_report()));
}

// The report's file system fills up in the middle of a flood: every row is still shown, and the file
// is exactly the report's first bytes, up to where the disk was full.
TEST_F(HostileRun, FullDiskLeavesTheReportWholeUpToTheFault) {
    constexpr unsigned long LINES = 2000;
    stage({{"route.act", "flood " + std::to_string(LINES) + " " + std::to_string(FLOOD_WIDTH) + "\n"}});
    const SmallFileSystem disk(run_.temp, 64 * 1024);
    if (!disk.mounted()) GTEST_SKIP() << disk.why_not();
    run(run_.temp_value);
    for (std::int32_t row = 1; row <= 7; ++row)
        EXPECT_NE(get_gadget_text(row), "") << "row " << row;
    std::string intended;
    for (const std::string& line : expected_report())
        intended += line + "\r\n";
    // The flood follows route's recorded lines, before the empty line that ends its section.
    const std::string before_netstat = "\r\nnetstat -abn\r\n";
    std::string flood;
    for (unsigned long number = 1; number <= LINES; ++number)
        flood += flood_line(number, FLOOD_WIDTH) + "\r\n";
    intended.insert(intended.find(before_netstat), flood);
    const std::string on_disk = file_contents(run_.temp / "lumtest.txt");
    EXPECT_GT(on_disk.size(), 32u * 1024) << "the report should have filled most of the disk";
    EXPECT_LT(on_disk.size(), intended.size());
    EXPECT_TRUE(intended.compare(0, on_disk.size(), on_disk) == 0) << "the report is not the first bytes of the run's";
}

TEST_F(HostileRun, MissingTempFolderSendsTheRunToTmp) {
    stage({});
    const std::string gone = (scratch_.path() / "Gone").string();
    const std::string temp = choose_temp_folder({gone, run_.temp_value, "", gone}, report_can_be_created);
    EXPECT_EQ(temp, run_.temp_value);
    run(temp);
    expect_all_passed_and_report_in(run_.temp_value);
    EXPECT_FALSE(fs::exists(scratch_.path() / "Gone"));
}

TEST_F(HostileRun, ReadOnlyTempFolderSendsTheRunToTmp) {
    stage({});
    const fs::path locked = scratch_.path() / "Locked";
    fs::create_directories(locked);
    const SmallFileSystem read_only(locked, 64 * 1024, SmallFileSystem::ReadOnly);
    if (!read_only.mounted()) GTEST_SKIP() << read_only.why_not();
    const std::string temp =
        choose_temp_folder({locked.string(), run_.temp_value, "", locked.string()}, report_can_be_created);
    EXPECT_EQ(temp, run_.temp_value);
    run(temp);
    expect_all_passed_and_report_in(run_.temp_value);
}

// With TEMP unset the paths begin with "\": the report goes to the root of the current drive, and the
// tools run in the program's own current folder.
TEST_F(HostileRun, UnsetTempPutsTheReportInTheDrivesRoot) {
    if (path_separator() != '\\') GTEST_SKIP() << "only Windows has a current drive";
    stage({});
    const CurrentFolder in_root("C:\\");
    const std::string temp = choose_temp_folder({"", run_.temp_value, "", ""}, report_can_be_created);
    EXPECT_EQ(temp, "");
    run(temp);
    expect_all_passed_and_report_in("C:\\");
    for (const char* name : {"C:\\lumtest.txt", "C:\\lumtest.log", "C:\\wget.log"})
        std::remove(name);
}

} // namespace
} // namespace lum::lab
