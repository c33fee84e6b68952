// server/directory/ldap_connection.h: one connection to the directory through libldap, closed with its object.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/directory/directory_settings.h"

struct ldap; // libldap's handle, kept out of every other file

namespace lumresults::directory {

// The directory could not be asked (down, too slow, TLS refused, the service account refused): the
// caller's answer is "try later", never "wrong password".
class DirectoryUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An entry a search found: its DN and the values of the one attribute asked for.
struct FoundEntry {
    std::string dn;
    std::vector<std::string> values;
};

class LdapConnection {
public:
    // Connected, TLS in place (ldaps://, or StartTLS on ldap:// unless settings.insecure), nothing bound.
    // Throws DirectoryUnavailable.
    explicit LdapConnection(const DirectorySettings& settings);
    ~LdapConnection();
    LdapConnection(const LdapConnection&) = delete;
    LdapConnection& operator=(const LdapConnection&) = delete;

    // A simple bind: true when the directory took the password, false for wrong credentials. Throws
    // DirectoryUnavailable for anything else. An empty password must never get here (see Directory).
    bool bind(const std::string& dn, const std::string& password);

    // The entries under `base` that `filter` matches (at most `most`; more is an error the caller sees as
    // an empty answer), each with the values of `attribute`. Throws DirectoryUnavailable.
    std::vector<FoundEntry> search(const std::string& base, const std::string& filter, const std::string& attribute,
                                   int most);

private:
    struct Unbind {
        void operator()(ldap* handle) const;
    };
    std::unique_ptr<ldap, Unbind> handle_;
    std::chrono::seconds timeout_;
};

// `value` escaped for use inside a search filter (RFC 4515: * ( ) \ and NUL as \XX), by libldap.
std::string escaped_filter_value(const std::string& value);

// A DN in one form (libldap's LDAPv3 normalisation, then lower case), so that the directory's spelling of a
// group and the configuration's compare equal; nothing when it is no DN.
std::optional<std::string> normalised_dn(const std::string& dn);

} // namespace lumresults::directory
