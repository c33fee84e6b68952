// server/directory/directory.h: staff of the operator's directory: their password checked by a bind, their
// roles read from the groups they are in.
#pragma once

#include <string>
#include <string_view>

#include "server/common/roles.h"
#include "server/directory/directory_settings.h"

namespace lumresults::directory {

enum class DirectoryOutcome {
    Member,      // the password (for sign_in) was right and the user is in a mapped group: `roles`
    Refused,     // no such user, more than one, a wrong or empty password, or in no mapped group
    Unavailable, // the directory could not be asked: `reason` says why, for the log
};

struct DirectoryAnswer {
    DirectoryOutcome outcome = DirectoryOutcome::Refused;
    Roles roles;
    std::string reason;
};

// Each call opens a connection of its own (TLS, the service account's bind) and closes it: calls are rare
// (a sign-in, a session's recheck), may come from any worker at once, and a connection kept open would
// be one more thing to find broken. Every wait is bounded by settings.timeout. Call from a worker,
// never from a thread that answers /ip/.
class Directory {
public:
    explicit Directory(DirectorySettings settings) : settings_(std::move(settings)) {}

    // Finds `name` with the service account, then binds as the entry found with `password`. An empty
    // password is refused here, before any connection: a simple bind without one is an anonymous bind
    // that many directories accept (RFC 4513 5.1.2).
    DirectoryAnswer sign_in(std::string_view name, std::string_view password) const;

    // The roles `name` has now, found with the service account alone: a session's recheck.
    DirectoryAnswer roles_of(std::string_view name) const;

    const DirectorySettings& settings() const { return settings_; }

private:
    DirectorySettings settings_;
};

// The filter that finds `name`: the configured one with {user} replaced by the name escaped as a filter
// value, so that a typed "*" or ")(uid=*" is looked for as those characters.
std::string user_filter(const std::string& configured, std::string_view name);

// The roles the groups (DNs, as the directory's memberOf gives them) map to.
Roles roles_of_groups(const std::vector<std::string>& groups, const std::vector<GroupRole>& mapping);

} // namespace lumresults::directory
