// server/common/roles.cpp: the roles' names as the command line, the configuration and the audit log write them.
#include "server/common/roles.h"

namespace lumresults {

std::string_view role_name(Role role) {
    switch (role) {
    case Role::Support: return "support";
    case Role::Network: return "network";
    case Role::Admin: return "admin";
    }
    return "?";
}

std::optional<Role> role_named(std::string_view name) {
    for (const Role role : EVERY_ROLE)
        if (role_name(role) == name) return role;
    return std::nullopt;
}

std::string roles_text(Roles roles) {
    std::string text;
    for (const Role role : EVERY_ROLE)
        if (roles.has(role)) text += (text.empty() ? "" : " ") + std::string(role_name(role));
    return text.empty() ? "none" : text;
}

} // namespace lumresults
