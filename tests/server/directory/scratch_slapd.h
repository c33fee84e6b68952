// tests/server/directory/scratch_slapd.h: Debian's slapd from a scratch slapd.conf of the test's own, on a
// loopback port, with the staff of entries.ldif in groups whose memberOf the dynlist overlay makes; stopped
// with the object.
#pragma once

#include <sys/types.h>

#include <string>

#include "test_support.h"

namespace lum::server_testing {

class ScratchSlapd {
public:
    // Writes the configuration and the entries (slapadd), starts slapd in the foreground and returns once
    // it accepts connections; throws std::runtime_error, with its log, when it does not.
    ScratchSlapd();
    ~ScratchSlapd();
    ScratchSlapd(const ScratchSlapd&) = delete;
    ScratchSlapd& operator=(const ScratchSlapd&) = delete;

    std::string url() const { return "ldap://127.0.0.1:" + std::to_string(port_) + "/"; }
    // SIGTERM, and waits for it to end.
    void stop();
    // Takes a user (uid) out of a group (cn) as the directory's administrator would.
    void remove_member(const std::string& group, const std::string& user);

    static constexpr const char* BASE = "dc=lumora,dc=test";
    static constexpr const char* SERVICE_DN = "uid=finder,ou=services,dc=lumora,dc=test";
    static constexpr const char* SERVICE_PASSWORD = "finder's password";

private:
    void await_listening();

    lum::testing_support::ScratchFolder folder_{"lumresults_slapd_"};
    int port_ = 0;
    pid_t pid_ = -1;
};

// The password every user of the scratch directory has: "<uid>'s password".
inline std::string password_of(const std::string& uid) { return uid + "'s password"; }

} // namespace lum::server_testing
