// server/directory/directory_settings.h: where the operator's directory is and how staff are found in it.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "server/common/roles.h"

namespace lumresults::directory {

// Members of this group have this role (an `ldap-role = GROUP-DN ROLE` line).
struct GroupRole {
    std::string group_dn;
    Role role;
};

struct DirectorySettings {
    std::string url;           // ldaps://host or ldap://host; empty: no directory, local accounts only
    std::string ca_file;       // the CA that signed the directory's certificate; empty: the system's
    bool insecure = false;     // ldap:// without StartTLS, for a lab: passwords cross the network in clear
    std::string bind_dn;       // the service account that finds users
    std::string bind_password; // read from a file of the operator's (ldap-bind-password-file)
    std::string base;          // where users are searched for, the whole subtree
    std::string user_filter = "(uid={user})"; // {user}: the typed name, escaped as a filter value
    std::vector<GroupRole> roles;
    std::chrono::seconds timeout{5}; // for connecting, and for each operation after
    // A directory user's session asks the directory again after this long: a leaver (out of every mapped
    // group, or gone) loses access then, well within the session's lifetime.
    std::chrono::seconds recheck{5 * 60};

    bool configured() const { return !url.empty(); }
};

} // namespace lumresults::directory
