// server/directory/directory.cpp: search-then-bind sign-in and the group-to-role mapping.
#include "server/directory/directory.h"

#include <optional>

#include "server/directory/ldap_connection.h"

namespace lumresults::directory {
namespace {

// The attribute that lists a user's groups: kept by Active Directory, made by OpenLDAP's dynlist overlay.
constexpr const char* GROUPS_ATTRIBUTE = "memberOf";

// The one entry the name finds, with its groups, on a connection the service account has bound; nothing
// when no entry or more than one answer to it.
std::optional<FoundEntry> find_user(LdapConnection& connection, const DirectorySettings& settings,
                                    std::string_view name) {
    if (!connection.bind(settings.bind_dn, settings.bind_password))
        throw DirectoryUnavailable("the service account " + settings.bind_dn + " was refused");
    std::vector<FoundEntry> found =
        connection.search(settings.base, user_filter(settings.user_filter, name), GROUPS_ATTRIBUTE, 2);
    if (found.size() != 1) return std::nullopt;
    return std::move(found.front());
}

DirectoryAnswer member_or_refused(const FoundEntry& entry, const DirectorySettings& settings) {
    const Roles roles = roles_of_groups(entry.values, settings.roles);
    if (roles.empty()) return {DirectoryOutcome::Refused, {}, "in no group that has a role"};
    return {DirectoryOutcome::Member, roles, {}};
}

} // namespace

DirectoryAnswer Directory::sign_in(std::string_view name, std::string_view password) const {
    if (password.empty()) return {DirectoryOutcome::Refused, {}, "an empty password"};
    try {
        LdapConnection connection(settings_);
        const std::optional<FoundEntry> entry = find_user(connection, settings_, name);
        if (!entry) return {DirectoryOutcome::Refused, {}, "no such user"};
        if (!connection.bind(entry->dn, std::string(password)))
            return {DirectoryOutcome::Refused, {}, "wrong password"};
        return member_or_refused(*entry, settings_);
    } catch (const DirectoryUnavailable& error) {
        return {DirectoryOutcome::Unavailable, {}, error.what()};
    }
}

DirectoryAnswer Directory::roles_of(std::string_view name) const {
    try {
        LdapConnection connection(settings_);
        const std::optional<FoundEntry> entry = find_user(connection, settings_, name);
        if (!entry) return {DirectoryOutcome::Refused, {}, "no such user"};
        return member_or_refused(*entry, settings_);
    } catch (const DirectoryUnavailable& error) {
        return {DirectoryOutcome::Unavailable, {}, error.what()};
    }
}

std::string user_filter(const std::string& configured, std::string_view name) {
    constexpr std::string_view MARK = "{user}";
    const std::string escaped = escaped_filter_value(std::string(name));
    std::string filter;
    std::size_t from = 0;
    for (std::size_t at = configured.find(MARK); at != std::string::npos; at = configured.find(MARK, from)) {
        filter += configured.substr(from, at - from) + escaped;
        from = at + MARK.size();
    }
    return filter + configured.substr(from);
}

Roles roles_of_groups(const std::vector<std::string>& groups, const std::vector<GroupRole>& mapping) {
    Roles roles;
    for (const std::string& group : groups) {
        const std::optional<std::string> normal = normalised_dn(group);
        if (!normal) continue;
        for (const GroupRole& mapped : mapping)
            if (normalised_dn(mapped.group_dn) == normal) roles = roles | mapped.role;
    }
    return roles;
}

} // namespace lumresults::directory
