// tests/process/background_part_posix_test.cpp: a tool that ends but leaves a background process holding its output
// (POSIX).
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "runtime/process/process.h"
#include "test_support.h"

namespace lum {
namespace {

using testing_support::file_contents;
using testing_support::ScratchFolder;
using testing_support::wait_until;

// The shell prints a last line without a line end and leaves a sleeper behind that inherited the pipe:
// the reading must end with the shell, not a minute later with the sleeper.
TEST(BackgroundPart, OutputEndsWithTheProgramThoughAnotherProcessHoldsThePipe) {
    ScratchFolder scratch;
    const std::string pid_file = (scratch.path() / "sleeper").string();
    const std::intptr_t handle = launch_program("sh", "-c \"printf 'last line'; sleep 60 & echo $! >" + pid_file + "\"",
                                                scratch.string(), Hide | Open | Read);
    ASSERT_GT(handle, 1);
    std::vector<std::string> lines;
    while (program_pending(handle) && lines.size() < 10) {
        while (!wait_for_program_output(handle, 50)) {
        }
        lines.push_back(read_program_line(handle));
    }
    release_program(handle);
    EXPECT_EQ(lines, std::vector<std::string>{"last line"});
    ASSERT_TRUE(wait_until([&] { return file_contents(pid_file).find('\n') != std::string::npos; }));
    kill(std::stoi(file_contents(pid_file)), SIGKILL);
}

} // namespace
} // namespace lum
