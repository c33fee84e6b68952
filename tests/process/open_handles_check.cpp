// tests/process/open_handles_check.cpp: the runner tests as a whole must leave no more handles open than they found.
#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>

#include "open_handles.h"

namespace lum::testing_support {
namespace {

// Every test releases what it launched, so a handle or descriptor that is still open after the last
// test is a pipe end or a process handle that the runner (or a test) lost track of.
class OpenHandlesCheck : public ::testing::Environment {
public:
    void SetUp() override {
        open_lasting_system_handles();
        before_ = count_open_handles();
    }

    void TearDown() override {
        const std::int64_t after = count_open_handles();
        std::cout << "Open " << open_handles_measure() << ": " << before_ << " before the first test, " << after
                  << " after the last" << std::endl;
        ASSERT_GE(before_, 0) << "the count of open handles is not available here";
        EXPECT_LE(after, before_) << "handles were left open by the tests";
    }

private:
    std::int64_t before_ = -1;
};

// Registered as the binary starts, before main calls RUN_ALL_TESTS; GoogleTest owns it from then on.
[[maybe_unused]] ::testing::Environment* const registered = ::testing::AddGlobalTestEnvironment(new OpenHandlesCheck);

} // namespace
} // namespace lum::testing_support
