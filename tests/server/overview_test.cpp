// tests/server/overview_test.cpp: the overview finds an outage in two days of reports, on every back end.
#include <gtest/gtest.h>

#include "outage_reports.h"
#include "server/dashboard/overview.h"
#include "store_backends.h"
#include "test_support.h"

namespace lumresults::dashboard {
namespace {

using namespace std::chrono;
using testing_support::Backend;

class OverviewTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override { LUMRESULTS_NEED_BACKEND(GetParam()); }
    lum::testing_support::ScratchFolder folder_{"lumresults_overview_"};
};

// 2,000 reports over two days, one /24 failing Test 3 for an hour: that block and hour head the incident
// list, and nothing else is listed; every report is counted once.
TEST_P(OverviewTest, AnOutageHeadsTheIncidentList) {
    testing_support::ScratchStore scratch(GetParam(), folder_.path() / "data");
    const std::unique_ptr<Store> store = scratch.open();
    const lum::outage::OutagePlan plan{LUM_LAB_SCENARIOS, folder_.path() / "work", Clock::time_point(hours(500'000)),
                                       2000};
    lum::outage::put_outage_reports(*store, plan);

    OverviewQuery query;
    query.from = plan.end - hours(48);
    query.to = plan.end;
    query.bucket = Bucket::day;
    const Overview two_days = make_overview(*store, query);
    std::int64_t finished = 0;
    for (const OverviewBucket& bucket : two_days.buckets)
        finished += bucket.finished + bucket.cut_short;
    EXPECT_EQ(finished, 2000);

    ASSERT_FALSE(two_days.incidents.empty());
    const Incident& top = two_days.incidents.front();
    EXPECT_EQ(std::tie(top.block, top.hour, top.test),
              std::tuple(lum::outage::OUTAGE_BLOCK, lum::outage::outage_hour(plan), 3));
    EXPECT_EQ(top.figures.failed, 15); // the outage's, and one subscriber there whose run passed
    EXPECT_LE(top.figures.reached, 17);
    EXPECT_EQ(two_days.incidents.size(), 1u);

    // The same block asked for alone, and a day before the outage: nothing stands out.
    query.block = "100.102.7.0/24";
    query.block_key = "100.102.7.0/24";
    EXPECT_EQ(make_overview(*store, query).incidents.size(), 1u);
    query.to = plan.end - hours(24);
    query.from = query.to - hours(24);
    EXPECT_TRUE(make_overview(*store, query).incidents.empty());
}

TEST(Binomial, UpperTailsAgreeWithTheirSums) {
    EXPECT_DOUBLE_EQ(binomial_upper_tail(5, 0, 0.3), 1.0);
    EXPECT_NEAR(binomial_upper_tail(5, 5, 0.5), 1.0 / 32, 1e-12);
    EXPECT_NEAR(binomial_upper_tail(10, 3, 0.1), 1 - (0.3486784401 + 0.387420489 + 0.1937102445), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Backends, OverviewTest, testing_support::every_backend, testing_support::backend_name);

} // namespace
} // namespace lumresults::dashboard
