// tests/server/account_commands_test.cpp: `lumresults user`, `token` and `audit` as an operator runs them.
#include <gtest/gtest.h>

#include <regex>

#include "server/store/store.h"
#include "server/dashboard/accounts.h"
#include "server_child.h"
#include "test_support.h"

namespace {

using namespace lum::server_testing;
using lum::testing_support::ScratchFolder;
namespace dashboard = lumresults::dashboard;

class AccountCommandsTest : public ::testing::Test {
protected:
    CommandResult run(std::vector<std::string> args, std::string_view input = {}) {
        args.insert(args.end(), {"--data", data_.string()});
        return run_lumresults(args, input);
    }
    std::unique_ptr<lumresults::Store> store() { return lumresults::open_sqlite_store(data_); }

    ScratchFolder folder_{"lumresults_accounts_cmd_"};
    std::filesystem::path data_ = folder_.path() / "data";
};

TEST_F(AccountCommandsTest, UsersAreAddedWithAPasswordFromInputChangedAndRemoved) {
    const struct {
        std::vector<std::string> args;
        std::string input;
        int exit_code;
    } steps[] = {
        {{"user", "add", "ana"}, "first password\nignored second line\n", 0},
        {{"user", "add", "ana"}, "another\n", 1},  // taken
        {{"user", "add", "bob"}, "\n", 1},         // empty password
        {{"user", "add", "bob"}, "", 1},           // no input at all
        {{"user", "add", "b b"}, "password\n", 1}, // not a name
        {{"user", "passwd", "ana"}, "second password\r\n", 0},
        {{"user", "passwd", "bob"}, "password\n", 1},
        {{"user", "add", "bob"}, "bob's\n", 0},
        {{"user", "remove", "bob"}, "", 0},
        {{"user", "remove", "bob"}, "", 1},
    };
    for (const auto& step : steps)
        EXPECT_EQ(run(step.args, step.input).exit_code, step.exit_code) << step.args[1] << " " << step.args[2];
    EXPECT_EQ(run({"user", "list"}).output, "ana\n");
    const std::optional<lumresults::StaffUser> ana = store()->find_user("ana");
    ASSERT_TRUE(ana);
    EXPECT_TRUE(dashboard::password_matches(ana->password_hash, "second password"));
    EXPECT_EQ(run({"user", "list", "extra"}).exit_code, 2);
}

// An account is for support unless roles are named; a token does what its maker (root: everything) lets it
// unless narrowed; a role the server does not know is refused before anything is kept.
TEST_F(AccountCommandsTest, AccountsAndTokensGetTheRolesNamedOrTheirDefault) {
    using lumresults::Role;
    using lumresults::Roles;
    ASSERT_EQ(run({"user", "add", "sam"}, "pass\n").exit_code, 0);
    ASSERT_EQ(run({"user", "add", "nia", "--role", "network", "--role", "admin"}, "pass\n").exit_code, 0);
    EXPECT_EQ(run({"user", "add", "bob", "--role", "boss"}, "pass\n").exit_code, 2);
    EXPECT_EQ(run({"user", "passwd", "sam", "--role", "admin"}, "pass\n").exit_code, 2) << "roles are given at add";
    EXPECT_EQ(store()->find_user("sam").value_or(lumresults::StaffUser{}).roles, Role::Support);
    EXPECT_EQ(store()->find_user("nia").value_or(lumresults::StaffUser{}).roles, Role::Network | Role::Admin);
    EXPECT_FALSE(store()->find_user("bob"));
    const std::string every = run({"token", "add", "crm"}).output.substr(0, 64);
    const std::string network = run({"token", "add", "noc", "--role", "network"}).output.substr(0, 64);
    EXPECT_EQ(store()->find_token(dashboard::token_key(every)).value_or(lumresults::ApiToken{}).roles, Roles::all());
    EXPECT_EQ(store()->find_token(dashboard::token_key(network)).value_or(lumresults::ApiToken{}).roles, Role::Network);
}

TEST_F(AccountCommandsTest, ATokenIsShownOnceAndOnlyItsHashIsKept) {
    const CommandResult added = run({"token", "add", "billing"});
    ASSERT_EQ(added.exit_code, 0);
    ASSERT_TRUE(std::regex_match(added.output, std::regex("[0-9a-f]{64}\n"))) << added.output;
    const std::string token = added.output.substr(0, 64);
    EXPECT_EQ(store()->find_token(dashboard::token_key(token)).value_or(lumresults::ApiToken{}).name, "billing");
    EXPECT_EQ(lum::testing_support::file_contents(data_ / "lumresults.sqlite3").find(token), std::string::npos);
    EXPECT_EQ(run({"token", "add", "billing"}).exit_code, 1) << "name taken";
    EXPECT_EQ(run({"token", "remove", "billing"}).exit_code, 0);
    EXPECT_FALSE(store()->find_token(dashboard::token_key(token)));
    EXPECT_EQ(run({"token", "remove", "billing"}).exit_code, 1);
}

TEST_F(AccountCommandsTest, TheAuditLogIsListedNewestFirstWithEveryUnsafeByteEscaped) {
    const auto at = [](int second) {
        return lumresults::Clock::time_point(std::chrono::seconds(1'780'000'000 + second));
    };
    store()->append_audit({at(1), "ana", "192.0.2.1", "sign-in", ""});
    store()->append_audit({at(2), "\x1b[31mx\tz\\", "192.0.2.1", "sign-in refused", "\xff"});
    const CommandResult listed = run({"audit", "--limit", "2"});
    EXPECT_EQ(listed.exit_code, 0);
    EXPECT_EQ(listed.output, "2026-05-28 20:26:42\t\\x1B[31mx\\x09z\\\\\t192.0.2.1\tsign-in refused\t\\xFF\n"
                             "2026-05-28 20:26:41\tana\t192.0.2.1\tsign-in\t\n");
    EXPECT_EQ(run({"audit", "--limit", "0"}).exit_code, 2);
}

} // namespace
