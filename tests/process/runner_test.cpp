// tests/process/runner_test.cpp: the runner driving the test child through real pipes, on both platforms.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "document_opener.h"
#include "runtime/files/files.h"
#include "runtime/process/process.h"
#include "test_support.h"

namespace lum {
namespace {

using Lines = std::vector<std::string>;
using testing_support::child_program;
using testing_support::file_contents;
using testing_support::ScratchFolder;
using testing_support::wait_until;

constexpr std::int32_t CAPTURE = Hide | Open | Read; // 14, as the tests of a run use it

class RunnerTest : public ::testing::Test {
protected:
    // The run's own pattern: start, read while pending, release. When the child is still alive after
    // its last line, the read that meets the end of its output gives one more, empty line (the run
    // skips empty lines); it is dropped here so that the tests see what the child wrote.
    Lines run_child(const std::string& parameters, std::int32_t flags = CAPTURE, std::intptr_t input = 0,
                    const std::string& program = child_program()) {
        Lines lines = read_child(program, parameters, flags, input);
        if (!lines.empty() && lines.back().empty()) lines.pop_back();
        return lines;
    }

    // With Wait the child has ended before the first read, so every line, empty ones too, is exact.
    Lines run_child_to_end(const std::string& parameters) {
        return read_child(child_program(), parameters, Wait | CAPTURE, 0);
    }

    Lines read_child(const std::string& program, const std::string& parameters, std::int32_t flags,
                     std::intptr_t input) {
        const std::intptr_t handle = launch_program(program, parameters, scratch_.string(), flags, input);
        EXPECT_GT(handle, 1) << parameters;
        Lines lines;
        while (program_pending(handle) && lines.size() < 1000)
            lines.push_back(read_program_line(handle));
        release_program(handle);
        return lines;
    }

    ScratchFolder scratch_;
};

TEST_F(RunnerTest, LinesCutAtEveryLineEnd) {
    const struct {
        const char* parameters;
        Lines lines;
    } cases[] = {
        {"out a%0D%0Ab%0Ac%0Dd", {"a", "b", "c", "d"}},
        {"out x%0A%0A", {"x", ""}},
        {"out a%0A%0Db", {"a", "", "b"}},
        {"out last%0D", {"last"}},
        {"out tail", {"tail"}},
        {"out %0D%0A", {""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(run_child_to_end(c.parameters), c.lines) << c.parameters;
}

// The pauses make the child's writes arrive in separate reads.
TEST_F(RunnerTest, LineEndsSplitAcrossWritesCountOnce) {
    const struct {
        const char* parameters;
        Lines lines;
    } cases[] = {
        {"out a%0D sleep 300 out %0Ab%0A", {"a", "b"}},
        {"out a%0D sleep 300 out b", {"a", "b"}},
        {"out one%0A sleep 200 out two%0A sleep 200 out three", {"one", "two", "three"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(run_child(c.parameters), c.lines) << c.parameters;
}

TEST_F(RunnerTest, LineOfAHundredThousandBytesComesWhole) {
    const Lines lines = run_child("lines 1 100001 4096 out end%0A");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 100000u);
    EXPECT_EQ(lines[0].find_first_not_of('x'), std::string::npos);
    EXPECT_EQ(lines[1], "end");
}

TEST_F(RunnerTest, OutputLeftAfterTheProgramEndedKeepsItPending) {
    const std::intptr_t handle =
        launch_program(child_program(), "out one%0Atwo%0Athree", scratch_.string(), Wait | CAPTURE);
    ASSERT_GT(handle, 1);
    Lines lines;
    for (int line = 0; line < 3; ++line) {
        EXPECT_TRUE(program_pending(handle)) << "before line " << line;
        lines.push_back(read_program_line(handle));
    }
    EXPECT_FALSE(program_pending(handle));
    EXPECT_EQ(lines, (Lines{"one", "two", "three"}));
    release_program(handle);
}

// A tool that closes its output and stays (hung, or with a background part) must not hold the run up:
// once the output has ended, the reading stops although the program still runs.
TEST_F(RunnerTest, ProgramThatClosesItsOutputAndStaysStopsBeingPending) {
    const std::intptr_t handle =
        launch_program(child_program(), "out last%0A close sleep 120000", scratch_.string(), CAPTURE);
    ASSERT_GT(handle, 1);
    Lines lines;
    while (program_pending(handle) && lines.size() < 1000)
        lines.push_back(read_program_line(handle));
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    EXPECT_EQ(lines, Lines{"last"});
    EXPECT_FALSE(wait_for_program_end(handle, 0)) << "the child was meant to be still running";
    stop_program(handle);
    EXPECT_TRUE(wait_for_program_end(handle, 10000));
    release_program(handle);
}

// Read in the runner's plain order (pending, then read), so that the read itself is what waits. Each
// child would write "late" had it not been stopped at its limit.
TEST_F(RunnerTest, ProgramPastItsTimeLimitIsStoppedAndWhatItWroteIsStillRead) {
    const struct {
        const char* parameters;
        Lines lines;
    } cases[] = {
        {"sleep 20000 out late%0A", {}},
        // The last line is cut off: the read that waits for the rest of it must not wait for ever.
        {"out one%0A sleep 300 out abc sleep 20000 out late%0A", {"one", "abc"}},
    };
    for (const auto& c : cases) {
        const std::intptr_t handle = launch_program(child_program(), c.parameters, scratch_.string(), CAPTURE);
        ASSERT_GT(handle, 1);
        limit_program_time(handle, 1000);
        Lines lines;
        while (program_pending(handle) && lines.size() < 1000)
            lines.push_back(read_program_line(handle));
        if (!lines.empty() && lines.back().empty()) lines.pop_back();
        EXPECT_EQ(lines, c.lines) << c.parameters;
        EXPECT_TRUE(wait_for_program_end(handle, 0)) << c.parameters;
        release_program(handle);
    }
}

// A program that writes faster than its output is read keeps the pipe readable, so that no read ever
// waits: its limit is looked at between reads as well.
TEST_F(RunnerTest, ProgramThatNeverStopsWritingIsStoppedAtItsLimit) {
    const std::intptr_t handle =
        launch_program(child_program(), "lines 2000000000 80 65536", scratch_.string(), CAPTURE);
    ASSERT_GT(handle, 1);
    limit_program_time(handle, 1000);
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    unsigned long lines = 0;
    while (program_pending(handle) && std::chrono::steady_clock::now() < give_up) {
        if (!read_program_line(handle).empty()) ++lines;
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // a slow reader
    }
    EXPECT_FALSE(program_pending(handle)) << "still writing after " << lines << " lines";
    EXPECT_GT(lines, 0u);
    release_program(handle);
}

TEST_F(RunnerTest, MissingToolWithCaptureFailsWithoutAskingTheShell) {
    const std::string record = (scratch_.path() / "opened.txt").string();
    testing_support::install_document_opener(child_program(), record, scratch_.string());
    const std::intptr_t result = launch_program("lumtest-no-such-tool", "/all", scratch_.string(), CAPTURE);
    testing_support::remove_document_opener();
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(std::filesystem::exists(record));
}

TEST_F(RunnerTest, ArgumentsArriveAsAWindowsProgramWouldGetThem) {
    const struct {
        const char* parameters;
        Lines arguments;
    } cases[] = {
        {"args a  b\tc", {"[a]", "[b]", "[c]"}},
        {"args \"a b\" c", {"[a b]", "[c]"}},
        {"args \"\" x", {"[]", "[x]"}},
        {"args C:\\dir\\file.txt", {"[C:\\dir\\file.txt]"}},
        {"args \"a\\\"b\"", {"[a\"b]"}},
        {"args a\\\\\"b c\"", {"[a\\b c]"}},
        {"args a\\\\\\\"b", {"[a\\\"b]"}},
        {"args \"C:\\Users\\Anna Maria\\Temp\\\\\"", {"[C:\\Users\\Anna Maria\\Temp\\]"}},
        {"args \"--header=Content-Type: multipart/form-Data; boundary=FILEUPLOAD\"",
         {"[--header=Content-Type: multipart/form-Data; boundary=FILEUPLOAD]"}},
        {"args \\\"^&|<>%", {"[\"^&|<>%]"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(run_child(c.parameters), c.arguments) << c.parameters;
}

TEST_F(RunnerTest, ProgramAlreadyInQuotesIsNotQuotedAgain) {
    const std::string quoted = "\"" + child_program() + "\"";
    const Lines lines = run_child("cmdline out started%0A", CAPTURE, 0, quoted);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "started");
    // Only Windows shows a program the command line it was started with.
    if (!lines[0].empty()) {
        EXPECT_EQ(lines[0], quoted + " cmdline out started%0A");
    }
}

TEST_F(RunnerTest, EmptyParametersStartTheProgramAlone) { EXPECT_EQ(run_child(""), Lines{}); }

TEST_F(RunnerTest, HandleWithoutReadHasNoLinesButIsPendingUntilTheEnd) {
    const std::intptr_t handle = launch_program(child_program(), "sleep 300", scratch_.string(), Hide | Open);
    ASSERT_GT(handle, 1);
    EXPECT_EQ(read_program_line(handle), "");
    EXPECT_TRUE(program_pending(handle));
    EXPECT_TRUE(wait_until([&] { return !program_pending(handle); }));
    release_program(handle);
}

TEST_F(RunnerTest, ProgramRunsInTheGivenFolderOrInOurs) {
    const Lines there = run_child("cwd");
    ASSERT_EQ(there.size(), 1u);
    EXPECT_TRUE(std::filesystem::equivalent(there[0], scratch_.path())) << there[0];

    const std::intptr_t handle = launch_program(child_program(), "cwd", "", CAPTURE);
    ASSERT_GT(handle, 1);
    const std::string here = read_program_line(handle);
    release_program(handle);
    EXPECT_TRUE(std::filesystem::equivalent(here, std::filesystem::current_path())) << here;
}

TEST_F(RunnerTest, HiddenProgramIsAskedToStayHidden) {
    // Waited for, so that the one line is whole before it is read, however slowly the child ends.
    const Lines hidden = read_child(child_program(), "startup", Wait | CAPTURE, 0);
    const Lines shown = read_child(child_program(), "startup", Wait | Open | Read, 0);
    ASSERT_EQ(hidden.size(), 1u);
    ASSERT_EQ(shown.size(), 1u);
    if (hidden[0].empty()) GTEST_SKIP() << "this platform has no window to show or hide";
    EXPECT_EQ(hidden[0], "show_given=1 show=0 handles_given=1");
    EXPECT_EQ(shown[0], "show_given=1 show=1 handles_given=1");
}

TEST_F(RunnerTest, WaitReturnsOnlyAfterTheProgramHasEnded) {
    const std::string marker = (scratch_.path() / "marker.txt").string();
    EXPECT_EQ(launch_program(child_program(), "sleep 300 pid \"" + marker + "\"", scratch_.string(), Wait | Hide), 1);
    EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST_F(RunnerTest, StandardErrorStaysOutOfTheLines) {
    EXPECT_EQ(run_child("err oops%0A out fine%0A", CAPTURE | Error), Lines{"fine"});
}

TEST_F(RunnerTest, ConnectFeedsOneProgramsOutputToTheNext) {
    const std::intptr_t source = launch_program(child_program(), "out one%0Atwo%0A", scratch_.string(), CAPTURE);
    ASSERT_GT(source, 1);
    EXPECT_EQ(run_child("copy", CAPTURE | Connect, source), (Lines{"one", "two"}));
    release_program(source);
}

TEST_F(RunnerTest, DocumentIsOpenedByTheShellInItsOwnFolder) {
    const std::string record = (scratch_.path() / "opened.txt").string();
    const std::filesystem::path folder = scratch_.path() / "reports";
    std::filesystem::create_directory(folder);
    const std::string document = folder.string() + path_separator() + "report.lumdoc";
    std::ofstream(folder / "report.lumdoc") << "report\n";
    testing_support::install_document_opener(child_program(), record, scratch_.string());
    const std::intptr_t result = open_document(document);
    const bool opened = wait_until([&] { return file_contents(record).find('\n') != std::string::npos; });
    testing_support::remove_document_opener();
    EXPECT_EQ(result, 1);
    ASSERT_TRUE(opened);
    const std::string recorded = file_contents(record);
    const std::string ran_in = recorded.substr(0, recorded.find('\n'));
    EXPECT_TRUE(std::filesystem::equivalent(ran_in, folder)) << recorded;
    EXPECT_NE(recorded.find("report.lumdoc]"), std::string::npos) << recorded;
}

TEST_F(RunnerTest, ReleaseIgnoresWhatIsNotALiveHandle) {
    release_program(0);
    release_program(1);
    const std::intptr_t handle = launch_program(child_program(), "out x%0A", scratch_.string(), CAPTURE);
    release_program(handle);
    release_program(handle);
    EXPECT_FALSE(program_pending(0));
    EXPECT_EQ(read_program_line(1), "");
}

TEST(Environment, GivesTheValueOrNothing) {
    EXPECT_EQ(environment_value("LUMTEST_SURELY_UNSET_VARIABLE"), "");
    static std::string long_setting = "LUMTEST_LONG_VALUE=" + std::string(5000, 'v');
    putenv(long_setting.data());
    EXPECT_EQ(environment_value("LUMTEST_LONG_VALUE"), std::string(5000, 'v'));
}

} // namespace
} // namespace lum
