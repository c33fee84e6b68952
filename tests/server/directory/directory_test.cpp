// tests/server/directory/directory_test.cpp: staff sign-in through Debian's slapd: right and wrong passwords,
// an empty one, names that try to widen the filter, roles from two groups, a leaver losing access at the
// session's recheck, StartTLS required, and the directory stopped while local accounts still sign in.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "scratch_slapd.h"
#include "server/dashboard/accounts.h"
#include "server/directory/directory.h"
#include "test_support.h"

namespace {

using namespace lumresults;
using namespace lumresults::dashboard;
using namespace std::chrono_literals;
using lum::server_testing::password_of;
using lum::server_testing::ScratchSlapd;

directory::DirectorySettings settings_of(const ScratchSlapd& slapd) {
    directory::DirectorySettings settings;
    settings.url = slapd.url();
    settings.insecure = true; // the scratch directory has no certificate; StartTLS is tested on its own below
    settings.bind_dn = ScratchSlapd::SERVICE_DN;
    settings.bind_password = ScratchSlapd::SERVICE_PASSWORD;
    settings.base = ScratchSlapd::BASE;
    settings.user_filter = "(&(objectClass=inetOrgPerson)(uid={user}))";
    settings.roles = {{"cn=support,ou=groups,dc=lumora,dc=test", Role::Support},
                      {"CN=Network, OU=Groups, DC=lumora, DC=test", Role::Network}}; // spelled as AD would
    settings.timeout = 5s;
    settings.recheck = 5min;
    return settings;
}

class DirectoryTest : public ::testing::Test {
protected:
    DirectoryTest() {
        store_->add_user({"lou", hash_password("lou's local password"), Role::Admin});
        policy_.directory = &directory_;
    }

    SignInResult sign_in_as(const std::string& user, const std::string& password) {
        // Each from an address of its own: the throttle is not what these cases are about.
        const std::string address = "192.0.2." + std::to_string(++callers_);
        return sign_in(*store_, user, password, address, now_, policy_);
    }

    lum::testing_support::ScratchFolder folder_{"lumresults_directory_"};
    std::unique_ptr<Store> store_ = open_sqlite_store(folder_.path());
    ScratchSlapd slapd_;
    directory::Directory directory_{settings_of(slapd_)};
    AccountPolicy policy_;
    Clock::time_point now_ = Clock::now();
    int callers_ = 0;
};

TEST_F(DirectoryTest, SignInGivesTheRolesOfTheUsersGroupsAndNothingToAnyoneElse) {
    const struct {
        std::string user, password;
        SignInOutcome outcome;
        Roles roles;
    } cases[] = {
        {"sam", password_of("sam"), SignInOutcome::SignedIn, Role::Support},
        {"nia", password_of("nia"), SignInOutcome::SignedIn, Role::Network},
        {"ada", password_of("ada"), SignInOutcome::SignedIn, Role::Support | Role::Network},
        {"lou", "lou's local password", SignInOutcome::SignedIn, Role::Admin}, // a local account, first
        {"sam", password_of("nia"), SignInOutcome::Refused, {}},
        {"sam", "", SignInOutcome::Refused, {}},                 // an anonymous bind, were it sent
        {"out", password_of("out"), SignInOutcome::Refused, {}}, // in no mapped group
        {"nobody", password_of("nobody"), SignInOutcome::Refused, {}},
        {"sa*", password_of("sam"), SignInOutcome::Refused, {}}, // unescaped, this would find sam
        {"*", password_of("sam"), SignInOutcome::Refused, {}},
        {"sam)(uid=*", password_of("sam"), SignInOutcome::Refused, {}},
        {"x)(|(uid=sam)", password_of("sam"), SignInOutcome::Refused, {}},
        {std::string("sam\0", 4), password_of("sam"), SignInOutcome::Refused, {}},
    };
    for (const auto& c : cases) {
        const SignInResult result = sign_in_as(c.user, c.password);
        EXPECT_EQ(result.outcome, c.outcome) << c.user << " / " << c.password;
        EXPECT_EQ(result.principal.roles, c.roles) << c.user;
        if (result.outcome != SignInOutcome::SignedIn) continue;
        const std::optional<Principal> principal = session_of(*store_, result.cookie_value, now_, policy_);
        ASSERT_TRUE(principal) << c.user;
        EXPECT_EQ(principal->roles, c.roles) << c.user;
    }
    // Every sign-in and refusal is in the audit log as a local account's is.
    std::size_t sign_ins = 0;
    for (const AuditEntry& entry : store_->list_audit(100))
        sign_ins += entry.action == "sign-in";
    EXPECT_EQ(sign_ins, 4u);
}

// A leaver keeps the session's roles until its recheck, and loses them there; one still in a group keeps them.
TEST_F(DirectoryTest, AUserTakenOutOfTheirGroupLosesAccessAtTheNextRecheck) {
    const SignInResult nia = sign_in_as("nia", password_of("nia"));
    const SignInResult sam = sign_in_as("sam", password_of("sam"));
    ASSERT_EQ(nia.outcome, SignInOutcome::SignedIn);
    ASSERT_EQ(sam.outcome, SignInOutcome::SignedIn);
    slapd_.remove_member("network", "nia");
    EXPECT_TRUE(session_of(*store_, nia.cookie_value, now_ + 4min, policy_)) << "before the recheck";
    EXPECT_FALSE(session_of(*store_, nia.cookie_value, now_ + 6min, policy_)) << "at the recheck";
    EXPECT_FALSE(session_of(*store_, nia.cookie_value, now_ + 6min, policy_)) << "and for good";
    const std::optional<Principal> kept = session_of(*store_, sam.cookie_value, now_ + 6min, policy_);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->roles, Role::Support);
}

// With the directory stopped its users are told so, and not counted as refused; local accounts sign in, an
// empty password is still refused without asking, and a directory session keeps its roles until it can be
// rechecked (its lifetime still ends it).
TEST_F(DirectoryTest, TheDirectoryStoppedStopsOnlyItsOwnUsers) {
    const SignInResult sam = sign_in_as("sam", password_of("sam"));
    ASSERT_EQ(sam.outcome, SignInOutcome::SignedIn);
    slapd_.stop();
    EXPECT_EQ(sign_in_as("nia", password_of("nia")).outcome, SignInOutcome::DirectoryUnavailable);
    EXPECT_EQ(sign_in_as("nia", "").outcome, SignInOutcome::Refused);
    EXPECT_EQ(sign_in_as("lou", "lou's local password").outcome, SignInOutcome::SignedIn);
    EXPECT_TRUE(session_of(*store_, sam.cookie_value, now_ + 6min, policy_));
    EXPECT_FALSE(session_of(*store_, sam.cookie_value, now_ + 13h, policy_));
    const RefusedSignIns refused = store_->refused_sign_ins("nia", "192.0.2.2", now_ - 1h);
    EXPECT_EQ(refused.of_user, 1u) << "only the empty password counts";
}

// A directory reached over ldap:// must take StartTLS unless the lab says otherwise; this one cannot.
TEST_F(DirectoryTest, StartTlsIsRequiredUnlessTheConfigurationSaysInsecure) {
    directory::DirectorySettings settings = settings_of(slapd_);
    settings.insecure = false;
    const directory::Directory strict(settings);
    const directory::DirectoryAnswer answer = strict.sign_in("sam", password_of("sam"));
    EXPECT_EQ(answer.outcome, directory::DirectoryOutcome::Unavailable);
    EXPECT_NE(answer.reason.find("StartTLS"), std::string::npos) << answer.reason;
}

// A directory that takes the connection and never answers costs a sign-in the timeout, then says so.
TEST(DirectoryTimeout, ADirectoryThatNeverAnswersIsUnavailableAfterTheTimeout) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0); // the kernel completes the handshake; nobody ever reads
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    directory::DirectorySettings settings;
    settings.url = "ldap://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    settings.bind_dn = "uid=finder";
    settings.bind_password = "x";
    settings.timeout = 1s;
    for (const bool insecure : {false, true}) { // stuck in StartTLS, or in the service account's bind
        settings.insecure = insecure;
        const directory::DirectoryAnswer answer = directory::Directory(settings).sign_in("sam", "password");
        EXPECT_EQ(answer.outcome, directory::DirectoryOutcome::Unavailable) << insecure;
    }
    close(listener);
}

} // namespace
