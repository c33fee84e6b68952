// tests/server/serve_options_test.cpp: serve's settings from its command line and its configuration file.
#include "server/cli/serve_options.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>

namespace lumresults {
namespace {

class ServeOptionsTest : public ::testing::Test {
protected:
    std::filesystem::path write_config(const std::string& text) {
        const std::filesystem::path file = folder_.path() / "lumresults.conf";
        std::ofstream(file) << text;
        return file;
    }
    // The error's text, or "" when the settings are taken.
    std::string fault_of(const ServeCommand& command) {
        try {
            serve_options_of(command);
            return "";
        } catch (const SettingError& error) {
            return error.what();
        }
    }

    lum::testing_support::ScratchFolder folder_;
};

TEST_F(ServeOptionsTest, TheFileSetsWhatTheCommandLineDoesNotName) {
    const auto file = write_config("# the operator's settings\n"
                                   "\n"
                                   "listen = 127.0.0.1:8080\n"
                                   "  data=/var/lib/lumresults  \n"
                                   "trusted-proxy = 10.0.0.0/8\n"
                                   "trusted-proxy = 192.168.1.1\n"
                                   "staff-from = 10.1.0.0/16\n"
                                   "keep-days = 30\n"
                                   "database = postgresql:///results?host=/run/postgresql#not-a-comment\n");
    const ServeOptions options =
        serve_options_of({{{"listen", "[::1]:9090", {}}, {"staff-from", "192.0.2.0/24", {}}}, file});
    EXPECT_EQ(options.http.listen.host, "::1"); // the command line wins
    EXPECT_EQ(options.http.listen.port, 9090);
    EXPECT_EQ(options.store.data_dir, "/var/lib/lumresults");
    EXPECT_EQ(options.store.database, "postgresql:///results?host=/run/postgresql#not-a-comment");
    EXPECT_EQ(options.http.trusted_proxies.size(), 2u); // list settings add, a line each
    ASSERT_EQ(options.http.staff_networks.size(), 1u);  // ... and the command line's replaces the file's
    EXPECT_TRUE(options.http.staff_networks[0].contains(*parse_address("192.0.2.7")));
    EXPECT_EQ(options.keep_days, 30u);
    EXPECT_EQ(options.http.monitoring_networks.size(), 2u); // the machine itself, unless named
}

TEST_F(ServeOptionsTest, AFaultNamesTheFileTheLineAndTheReason) {
    const struct {
        const char* text;
        const char* fault;
    } cases[] = {
        {"listen = 127.0.0.1:80\nthreads = many\n", ":2: not a whole number of at least 1: many"},
        {"listen = 127.0.0.1:80\nthreads = 0\n", ":2: not a whole number of at least 1: 0"},
        {"listen = 127.0.0.1:80\nlisten-on = 80\n", ":2: unknown setting listen-on"},
        {"listen = localhost:80\n", ":1: expected ADDR:PORT with a numeric address: localhost:80"},
        {"listen = 127.0.0.1:80\nstaff-from = 10.0.0.0/33\n", ":2: not an address or ADDR/BITS: 10.0.0.0/33"},
        {"# comment\nlisten 127.0.0.1:80\n", ":2: expected name = value: listen 127.0.0.1:80"},
        {"listen =\n", ":1: needs a value"},
        {"config = /etc/other.conf\n", ":1: a configuration file cannot name another"},
    };
    for (const auto& c : cases) {
        const auto file = write_config(c.text);
        EXPECT_EQ(fault_of({{{"data", "/tmp/x", {}}}, file}), file.string() + c.fault) << c.text;
    }
    EXPECT_EQ(fault_of({{{"listen", "127.0.0.1:80", {}}}, folder_.path() / "missing.conf"}),
              (folder_.path() / "missing.conf").string() + ": cannot read: No such file or directory");
    EXPECT_EQ(fault_of({{{"threads", "x", {}}}, std::nullopt}), "--threads: not a whole number of at least 1: x");
    EXPECT_EQ(fault_of({{{"listen", "127.0.0.1:80", {}}}, std::nullopt}),
              "serve needs data (--data DIR) or database (--database URL)");
    EXPECT_EQ(fault_of({{{"listen", "127.0.0.1:80", {}},
                         {"data", "d", {}},
                         {"tls-listen", "0.0.0.0:443", {}},
                         {"tls-cert", "/etc/lumresults/tls/fullchain.pem", {}}},
                        std::nullopt}),
              "HTTPS needs all three of tls-listen, tls-cert and tls-key");
    EXPECT_EQ(fault_of({{{"listen", "127.0.0.1:80", {}}, {"data", "d", {}}, {"radius-listen", "0.0.0.0:1813", {}}},
                        std::nullopt}),
              "radius-listen needs at least one radius-client = CIDR SECRET-FILE");
}

// The accounting senders' secrets come from files: the first line, never the setting's own words.
TEST_F(ServeOptionsTest, RadiusClientsReadTheirSecretFromAFile) {
    std::ofstream(folder_.path() / "secret") << "s3cret\r\nsecond line\n";
    std::ofstream(folder_.path() / "empty") << "\n";
    const std::string secret = (folder_.path() / "secret").string();
    const ServeOptions options = serve_options_of(
        {{{"radius-client", "192.0.2.0/24 " + secret, {}}}, write_config("listen = 127.0.0.1:80\ndata = d\n"
                                                                          "radius-listen = 127.0.0.1:1813\n")});
    ASSERT_EQ(options.radius_clients.size(), 1u);
    EXPECT_EQ(options.radius_clients[0].secret, "s3cret");
    EXPECT_TRUE(options.radius_clients[0].network.contains(*parse_address("192.0.2.9")));
    EXPECT_EQ(options.radius_listen->port, 1813);
    EXPECT_EQ(fault_of({{{"radius-client", "192.0.2.0/24", {}}}, std::nullopt}),
              "--radius-client: expected CIDR SECRET-FILE: 192.0.2.0/24");
    EXPECT_EQ(fault_of({{{"radius-client", "192.0.2.0/24 " + (folder_.path() / "empty").string(), {}}}, std::nullopt}),
              "--radius-client: the secret file " + (folder_.path() / "empty").string() + " starts with an empty line");
}

// A directory is taken whole, its password from its own file and each role line's role from its last word
// (a DN may hold spaces); half of one, or a line that cannot be used, is refused naming what is missing.
TEST_F(ServeOptionsTest, TheDirectoryIsTakenWholeOrRefused) {
    const std::filesystem::path secret = folder_.path() / "ldap.secret";
    std::ofstream(secret) << "the finder's password\n";
    const std::string whole = "listen = 127.0.0.1:80\ndata = /tmp/x\nldap-url = ldaps://dc1.lumora.example\n"
                              "ldap-bind-dn = CN=finder,OU=Services,DC=lumora,DC=example\n"
                              "ldap-bind-password-file = " +
                              secret.string() +
                              "\nldap-base = DC=lumora,DC=example\n"
                              "ldap-user-filter = (sAMAccountName={user})\n"
                              "ldap-role = CN=Support Staff,OU=Groups,DC=lumora,DC=example support\n"
                              "ldap-role = CN=NOC,OU=Groups,DC=lumora,DC=example network\nldap-timeout = 3\n";
    const ServeOptions options = serve_options_of({{}, write_config(whole)});
    EXPECT_EQ(options.directory.bind_password, "the finder's password");
    ASSERT_EQ(options.directory.roles.size(), 2u);
    EXPECT_EQ(options.directory.roles[0].group_dn, "CN=Support Staff,OU=Groups,DC=lumora,DC=example");
    EXPECT_EQ(options.directory.roles[0].role, Role::Support);
    EXPECT_EQ(options.directory.timeout, std::chrono::seconds(3));
    EXPECT_FALSE(options.directory.insecure);
    const struct {
        std::string extra;
        std::string fault;
    } cases[] = {
        {"ldap-url = http://dc1\n", "ldap-url must start ldaps:// or ldap://: http://dc1"},
        {"ldap-user-filter = (uid=%s)\n", "ldap-user-filter must hold {user}: (uid=%s)"},
        {"ldap-role = CN=Boss,DC=lumora owner\n", "expected GROUP-DN ROLE (support, network or admin)"},
        {"ldap-insecure = maybe\n", "expected yes or no: maybe"},
        {"ldap-bind-password-file = /nonexistent\n", "cannot read a password from /nonexistent"},
    };
    for (const auto& c : cases)
        EXPECT_NE(fault_of({{}, write_config(whole + c.extra)}).find(c.fault), std::string::npos) << c.extra;
    EXPECT_NE(fault_of({{}, write_config("listen = 127.0.0.1:80\ndata = /tmp/x\nldap-url = ldap://dc1\n")})
                  .find("needs ldap-bind-dn"),
              std::string::npos);
}

} // namespace
} // namespace lumresults
