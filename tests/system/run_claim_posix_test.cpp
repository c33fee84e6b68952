// tests/system/run_claim_posix_test.cpp: a run that dies, however it dies, leaves the claim free for the next one.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "runtime/system/run_claim.h"

namespace lum {
namespace {

TEST(RunClaim, KilledHolderFreesTheName) {
    const std::string name = "LumoraNetworkTest.test.killed." + std::to_string(::getpid());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        const RunClaim claim = claim_run(name);
        const char held = claim.refused() ? 'n' : 'y';
        if (::write(ready[1], &held, 1) != 1) ::_exit(1);
        ::pause(); // until killed: no destructor runs
        ::_exit(0);
    }
    ::close(ready[1]);
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(held, 'y');
    EXPECT_TRUE(claim_run(name).refused());
    ::kill(holder, SIGKILL);
    int status = 0;
    ::waitpid(holder, &status, 0);
    EXPECT_FALSE(claim_run(name).refused());
}

} // namespace
} // namespace lum
