// server/cli/account_commands.h: `lumresults user`, `token` and `audit`: staff accounts, API tokens and the
// audit log, kept in the store beside a running server.
#pragma once

#include <cstddef>
#include <string>

#include "server/store/store.h"

namespace lumresults {

enum class UserAction { Add, Passwd, Remove, List };
enum class TokenAction { Add, Remove };

// add and passwd read the password from the first line of standard input (an empty one is refused); add
// refuses a taken name and gives the account `roles`; remove also ends the user's sessions. 0, or 1 with
// the reason on standard error.
int user_command(UserAction action, const StoreLocation& store, const std::string& name, Roles roles = Role::Support);

// add prints the new token, which may do what `roles` allow, once on standard output: the store keeps only
// its hash, so it cannot be shown again.
int token_command(TokenAction action, const StoreLocation& store, const std::string& name, Roles roles = Roles::all());

// The newest `limit` lines of the audit log, newest first, tab-separated: time (UTC), user, address,
// action, detail, every byte outside printable ASCII written as \xHH.
int audit_command(const StoreLocation& store, std::size_t limit);

} // namespace lumresults
