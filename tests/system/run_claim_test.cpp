// tests/system/run_claim_test.cpp: one claim on a name at a time, and the name free again once its holder lets go.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "runtime/system/run_claim.h"

namespace lum {
namespace {

// A name of this test's own, so that a program or another test run nearby cannot meet it.
std::string fresh_name() { return "LumoraNetworkTest.test." + std::to_string(std::random_device()()); }

TEST(RunClaim, SecondClaimIsRefusedUntilTheFirstIsReleased) {
    const std::string name = fresh_name();
    RunClaim first = claim_run(name);
    EXPECT_FALSE(first.refused());
    EXPECT_TRUE(claim_run(name).refused());
    EXPECT_FALSE(claim_run(name + ".other").refused()) << "another name is free";

    RunClaim moved = std::move(first);
    EXPECT_TRUE(claim_run(name).refused()) << "the moved claim still holds";
    moved = RunClaim();
    EXPECT_FALSE(claim_run(name).refused()) << "released";
}

} // namespace
} // namespace lum
