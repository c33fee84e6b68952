// tests/process/reaping_test.cpp: programs that are let go while running are reaped when they end (POSIX).
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "runtime/process/process.h"
#include "test_support.h"

namespace lum {
namespace {

using testing_support::child_program;
using testing_support::file_contents;
using testing_support::ScratchFolder;
using testing_support::wait_until;

// A zombie still answers kill(pid, 0); only a reaped process is gone (ESRCH).
bool is_gone(int pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

int started_pid(const std::string& pid_file) {
    EXPECT_TRUE(wait_until([&] { return file_contents(pid_file).find('\n') != std::string::npos; }));
    return std::stoi(file_contents(pid_file));
}

TEST(Reaping, ProgramStartedAndLeftAloneIsReaped) {
    ScratchFolder scratch;
    const std::string pid_file = (scratch.path() / "pid").string();
    ASSERT_EQ(launch_program(child_program(), "pid " + pid_file + " sleep 200", scratch.string(), Hide), 1);
    const int pid = started_pid(pid_file);
    EXPECT_TRUE(wait_until([&] { return is_gone(pid); })) << "process " << pid << " left as a zombie";
}

TEST(Reaping, ReleasedHandleOfARunningProgramIsReaped) {
    ScratchFolder scratch;
    const std::string pid_file = (scratch.path() / "pid").string();
    const std::intptr_t handle =
        launch_program(child_program(), "pid " + pid_file + " sleep 200", scratch.string(), Hide | Open | Read);
    ASSERT_GT(handle, 1);
    const int pid = started_pid(pid_file);
    release_program(handle);
    EXPECT_TRUE(wait_until([&] { return is_gone(pid); })) << "process " << pid << " left as a zombie";
}

} // namespace
} // namespace lum
