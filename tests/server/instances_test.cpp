// tests/server/instances_test.cpp: instances on one PostgreSQL database are one server to staff: sessions and
// throttling are shared.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <optional>
#include <vector>

#include "at_once.h"
#include "scratch_postgres.h"
#include "server/store/store.h"
#include "server/dashboard/accounts.h"
#include "server_child.h"
#include "staff_client.h"
#include "test_support.h"

namespace {

using namespace lum::server_testing;
using lum::testing_support::ScratchFolder;
using lumresults::testing_support::ScratchPostgres;

const std::string PASSWORD = "a long enough password";

// Two instances, as a load balancer would have them, on one database with one account.
class InstancesTest : public ::testing::Test {
protected:
    void SetUp() override {
        LUMRESULTS_NEED_POSTGRES();
        database_.emplace();
        lumresults::open_postgres_store(database_->url())
            ->add_user({"ana", lumresults::dashboard::hash_password(PASSWORD)});
        for (const char* name : {"a", "b"})
            instances_.emplace_back(folder_.path() / name, std::vector<std::string>{"--database", database_->url()},
                                    folder_.path() / (std::string(name) + ".log"));
    }

    int port(std::size_t instance) const { return instances_[instance].port(); }
    int signed_in_status(std::size_t instance, const std::string& session) {
        return send_to(port(instance), form_request("GET", "/support/", session_cookie(session))).status;
    }

    ScratchFolder folder_{"lumresults_instances_"};
    std::optional<ScratchPostgres> database_;
    std::deque<ServerChild> instances_;
};

TEST_F(InstancesTest, ASessionBegunOnOneInstanceIsGoodOnEveryOneAndEndsOnAllAtSignOut) {
    const std::optional<std::string> session = set_cookie(post_sign_in(port(0), "ana", PASSWORD), "lumresults_session");
    ASSERT_TRUE(session);
    EXPECT_EQ(signed_in_status(1, *session), 200);

    const std::string csrf =
        csrf_field(send_to(port(1), form_request("GET", "/support/", session_cookie(*session))).body);
    EXPECT_EQ(
        send_to(port(1), form_request("POST", "/support/sign-out", session_cookie(*session), "csrf=" + csrf)).status,
        303);
    EXPECT_EQ(signed_in_status(0, *session), 303) << "signed out on one instance, still signed in on another";
}

TEST_F(InstancesTest, RefusedSignInsOnEveryInstanceCountTowardsOneHold) {
    // Five refusals of the account from one address hold that address for it: spread over both instances,
    // they must hold it on both.
    for (int attempt = 0; attempt < 5; ++attempt)
        EXPECT_EQ(post_sign_in(port(attempt % 2), "ana", "wrong").status, 401) << attempt;
    for (std::size_t instance : {0u, 1u}) {
        const HttpResponse held = post_sign_in(port(instance), "ana", PASSWORD);
        EXPECT_EQ(held.status, 429) << instance;
        EXPECT_FALSE(set_cookie(held, "lumresults_session")) << instance;
    }
}

// Attempts made at once on both instances each take a place of their own under the hold: of twelve wrong
// passwords at once from one address, five are checked and the others are held, whichever instance and
// worker takes each. Each instance's sign-in lane takes four of one caller's attempts at a time and turns
// the rest away (503) before any check, so at least eight reach the hold.
TEST_F(InstancesTest, AttemptsAtOnceOnEveryInstanceTakeTheirOwnPlaceUnderOneHold) {
    const std::vector<int> statuses = lumresults::testing_support::at_once(
        12, [&](std::size_t i) { return post_sign_in(port(i % 2), "ana", "wrong").status; });
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 401), 5);
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 429) + std::count(statuses.begin(), statuses.end(), 503), 7);
}

} // namespace
