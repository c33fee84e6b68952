// tests/lab/stand_in_test.cpp: the stand-in tool's copies driven through the program's runner, as a test run drives
// them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <list>
#include <sstream>
#include <string>
#include <vector>

#include "loopback_listener.h"
#include "runtime/process/process.h"
#include "test_support.h"

namespace lum {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using testing_support::file_contents;
using testing_support::ScratchFolder;

constexpr std::int32_t CAPTURE = Hide | Open | Read; // 14, as the tests of a run read their tools

// putenv keeps the very text it is given on POSIX, so each text lives until the process ends. An
// empty value counts as unset for the stand-in (Windows removes such a variable; POSIX keeps it empty).
void set_environment(const std::string& name, const std::string& value) {
    static std::list<std::string> texts;
    texts.push_back(name + "=" + value);
    putenv(texts.back().data());
}

struct JournalEntry {
    std::string tool;
    std::string folder;
    std::string arguments;
};

class StandInTest : public ::testing::Test {
protected:
    // A missing copy would let the runner find the real tool along PATH, which must never run here.
    void SetUp() override {
        for (const char* tool :
             {"ipconfig", "route", "netstat", "ping", "nslookup", "fping", "wget", "mcfirst", "netsh"})
            ASSERT_TRUE(fs::exists(std::string(tool) + LUM_EXE_SUFFIX)) << tool << " is not beside the test binary";
        fs::create_directory(scenario());
        set_environment("LUMTEST_SCENARIO", scenario().string());
        set_environment("LUMTEST_JOURNAL", journal().string());
        set_environment("LUMTEST_RESULTS_SERVER", "");
    }

    fs::path scenario() const { return scratch_.path() / "scenario"; }
    fs::path journal() const { return scratch_.path() / "journal.txt"; }

    void record(const std::string& name, const std::string& bytes) const {
        std::ofstream(scenario() / name, std::ios::binary) << bytes;
    }

    // With Wait the tool has ended before the first read, so every line, empty ones too, is exact.
    Lines run(const std::string& tool, const std::string& parameters, std::int32_t flags = Wait | CAPTURE,
              const fs::path& folder = {}) const {
        const fs::path directory = folder.empty() ? scratch_.path() : folder;
        const std::intptr_t handle = launch_program(tool, parameters, directory.string(), flags);
        EXPECT_GT(handle, 1) << tool << " " << parameters;
        Lines lines;
        while (program_pending(handle) && lines.size() < 100)
            lines.push_back(read_program_line(handle));
        release_program(handle);
        return lines;
    }

    std::vector<JournalEntry> journal_entries() const {
        std::vector<JournalEntry> entries;
        std::istringstream lines(file_contents(journal()));
        for (std::string line; std::getline(lines, line);) {
            const std::size_t first = line.find('\t');
            const std::size_t second = line.find('\t', first + 1);
            EXPECT_NE(second, std::string::npos) << line;
            if (second == std::string::npos) continue;
            entries.push_back(
                {line.substr(0, first), line.substr(first + 1, second - first - 1), line.substr(second + 1)});
        }
        return entries;
    }

    ScratchFolder scratch_;
};

TEST_F(StandInTest, EachCallPlaysItsOwnRecordingOrElseTheToolsOwn) {
    record("ping.1.out", "first ping\r\n");
    record("ping.2.out", "second ping\r\n");
    record("ping.out", "any other ping\r\n");
    record("nslookup.1.out", "first lookup\r\n");
    record("nslookup.out", "later lookup\r\n");
    EXPECT_EQ(run("ping", "-n 1 127.0.0.1"), Lines{"first ping"});
    EXPECT_EQ(run("ping", "-n 1 127.0.0.1"), Lines{"second ping"});
    EXPECT_EQ(run("ping", "-n 1 127.0.0.1"), Lines{"any other ping"});
    // Calls are counted per tool: this is the first lookup, whatever ran before it.
    EXPECT_EQ(run("nslookup", "lab.invalid"), Lines{"first lookup"});
    EXPECT_EQ(run("nslookup", "lab.invalid"), Lines{"later lookup"});
    EXPECT_EQ(run("route", "print"), Lines{});
}

// A text-mode stream would turn "\r\n" into "\r\r\n" (an extra empty line) and a text-mode read of
// the recording would stop at Ctrl-Z.
TEST_F(StandInTest, OutputIsTheRecordingByteForByte) {
    record("ipconfig.out",
           "Windows IP Configuration\r\n\r\n   Host Name . . . : lab\r\n\x1A after Ctrl-Z\nno line end");
    EXPECT_EQ(run("ipconfig", "/all"),
              (Lines{"Windows IP Configuration", "", "   Host Name . . . : lab", "\x1A after Ctrl-Z", "no line end"}));
}

TEST_F(StandInTest, JournalHoldsToolFolderAndArgumentsOfEveryCall) {
    const fs::path spaced = scratch_.path() / "Anna Maria";
    fs::create_directory(spaced);
    run("fping", "10.0.0.1 -n100 -t100 -w200");
    run("nslookup", "\"a b\"  c", Wait | CAPTURE, spaced);
    run("netsh", "");
    const std::vector<JournalEntry> entries = journal_entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].tool, "fping");
    EXPECT_EQ(entries[0].arguments, "[10.0.0.1] [-n100] [-t100] [-w200]");
    EXPECT_TRUE(fs::equivalent(entries[0].folder, scratch_.path())) << entries[0].folder;
    EXPECT_EQ(entries[1].tool, "nslookup");
    EXPECT_EQ(entries[1].arguments, "[a b] [c]");
    EXPECT_TRUE(fs::equivalent(entries[1].folder, spaced)) << entries[1].folder;
    EXPECT_EQ(entries[2].tool, "netsh");
    EXPECT_EQ(entries[2].arguments, "");
}

TEST_F(StandInTest, WithoutAScenarioOnlyTheJournalIsWritten) {
    record("ipconfig.out", "Windows IP Configuration\r\n");
    record("wget.log", "saved\r\n");
    set_environment("LUMTEST_SCENARIO", "");
    EXPECT_EQ(run("ipconfig", "/all"), Lines{});
    EXPECT_EQ(launch_program("wget", "-ONUL http://lab.invalid/10mb.bin -o wget.log", scratch_.string(), Wait | Hide),
              1);
    EXPECT_FALSE(fs::exists(scratch_.path() / "wget.log"));
    const std::vector<JournalEntry> entries = journal_entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].tool, "ipconfig");
    EXPECT_EQ(entries[1].tool, "wget");
}

// The download is waited for (flags 3), and its log path arrives as the program spells it: with
// backslashes, in double quotes when it has a space, or relative to the tool's folder.
TEST_F(StandInTest, DownloadWritesTheRecordedLogAfterDashO) {
    const std::string first_log = "--2026-12-07 08:42:09--  http://lab.invalid/10mb.bin\r\n"
                                  "     0K .......... 0%\r\n\r\n2026-12-07 08:42:10 (1.23 MB/s) - `NUL' saved";
    const std::string later_log = "later\n";
    record("wget.1.log", first_log);
    record("wget.log", later_log);
    fs::create_directory(scratch_.path() / "Anna Maria");
    const std::string spaced_path = scratch_.windows_path("Anna Maria\\wget.log");

    EXPECT_EQ(launch_program("wget", "-ONUL http://lab.invalid/10mb.bin -o \"" + spaced_path + "\"", scratch_.string(),
                             Wait | Hide),
              1);
    EXPECT_EQ(file_contents(scratch_.path() / "Anna Maria" / "wget.log"), first_log);
    EXPECT_EQ(launch_program("wget", "-ONUL http://lab.invalid/10mb.bin -o wget.log", scratch_.string(), Wait | Hide),
              1);
    EXPECT_EQ(file_contents(scratch_.path() / "wget.log"), later_log);
    const std::vector<JournalEntry> entries = journal_entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].arguments, "[-ONUL] [http://lab.invalid/10mb.bin] [-o] [" + spaced_path + "]");
}

// Started as the program starts it (flags 2, not waited for); the URL's host is never contacted.
TEST_F(StandInTest, UploadPostsTheFileWithItsHeaderToTheLoopbackServer) {
    testing_support::LoopbackListener server;
    ASSERT_TRUE(server.ready());
    server.serve_one();
    set_environment("LUMTEST_RESULTS_SERVER", server.address());
    const std::string body = "--FILEUPLOAD\r\nContent-Type: text/plain\r\n\r\nTest 1: Network Config\r\n\x1A\r\n"
                             "\r\n--FILEUPLOAD--\r\n";
    std::ofstream(scratch_.path() / "lumtest.log", std::ios::binary) << body;

    EXPECT_EQ(launch_program("wget",
                             "-qONUL --post-file=lumtest.log --header=\"Content-Type: multipart/form-Data; "
                             "boundary=FILEUPLOAD\" http://lab.invalid/lumnettestresult.php",
                             scratch_.string(), Hide),
              1);
    const testing_support::HttpRequest request = testing_support::parse_http_request(server.request());
    EXPECT_EQ(request.request_line, "POST /lumnettestresult.php HTTP/1.0");
    EXPECT_EQ(header_value(request, "Host"), "lab.invalid");
    EXPECT_EQ(header_value(request, "Content-Type"), "multipart/form-Data; boundary=FILEUPLOAD");
    EXPECT_EQ(header_value(request, "Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(request.body, body);
}

// The URL names the listener itself: a stand-in that posted to the URL's host would be caught.
TEST_F(StandInTest, UploadSendsNothingWithoutAResultsServer) {
    testing_support::LoopbackListener server;
    ASSERT_TRUE(server.ready());
    std::ofstream(scratch_.path() / "lumtest.log", std::ios::binary) << "--FILEUPLOAD--\r\n";
    const std::string url = "http://" + server.address() + "/lumnettestresult.php";
    EXPECT_EQ(launch_program("wget", "-qONUL --post-file=lumtest.log " + url, scratch_.string(), Wait | Hide), 1);
    EXPECT_FALSE(server.connection_waiting());
    EXPECT_EQ(journal_entries().size(), 1u);
}

// A test run starts its second receiver while the first may still be starting.
TEST_F(StandInTest, CallsStartedTogetherTakeDistinctNumbers) {
    constexpr int calls = 6;
    Lines expected;
    for (int call = 1; call <= calls; ++call) {
        record("mcfirst." + std::to_string(call) + ".out", "call " + std::to_string(call) + "\r\n");
        expected.push_back("call " + std::to_string(call));
    }
    std::vector<std::intptr_t> handles;
    for (int call = 0; call < calls; ++call)
        handles.push_back(launch_program("mcfirst", "-c10 -t5 224.3.2.55 6000", scratch_.string(), CAPTURE));
    Lines got;
    for (const std::intptr_t handle : handles) {
        EXPECT_GT(handle, 1);
        if (program_pending(handle)) got.push_back(read_program_line(handle));
        release_program(handle);
    }
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(journal_entries().size(), static_cast<std::size_t>(calls));
}

TEST(LoopbackAddressTest, OnlyLoopbackAddressesWithAPortAreAccepted) {
    const struct {
        const char* text;
        bool accepted;
    } cases[] = {
        {"127.0.0.1:8080", true},
        {"127.1.2.3:1", true},
        {"10.0.0.1:80", false},
        {"8.8.8.8:80", false},
        {"localhost:80", false},
        {"127.0.0.1", false},
        {"127.0.0.1:0", false},
        {"127.0.0.1:65536", false},
        {"127.0.0.256:80", false},
        {"127.0.0:80", false},
        {"127.0.0.1.5:80", false},
        {"127.0.0.1:8o", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lab::parse_loopback_address(c.text).has_value(), c.accepted) << c.text;
    const auto address = lab::parse_loopback_address("127.0.0.1:8080");
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(address->host, 0x7F000001u);
    EXPECT_EQ(address->port, 8080);
}

} // namespace
} // namespace lum
