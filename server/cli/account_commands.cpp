// server/cli/account_commands.cpp: staff users, API tokens and the audit log from the command line.
#include "server/cli/account_commands.h"

#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>

#include "server/cli/report_listing.h"
#include "server/store/store.h"
#include "server/dashboard/accounts.h"

namespace lumresults {
namespace {

// What the command line's own changes are written to the audit log as coming from.
constexpr std::string_view COMMAND_LINE = "command line";

// The first line of standard input without its line end; nothing when it is empty or missing.
std::optional<std::string> password_from_input() {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) return std::nullopt;
    return line;
}

// A name shown in terminals, logs and pages: printable, no spaces or controls.
bool acceptable_name(std::string_view name) {
    if (name.empty() || name.size() > dashboard::MOST_USER_NAME_BYTES) return false;
    for (const char c : name)
        if (c <= ' ' || c == 0x7F) return false;
    return true;
}

int failed(const std::string& message) {
    std::fprintf(stderr, "lumresults: %s\n", message.c_str());
    return 1;
}

void note(StaffStore& store, std::string_view name, std::string_view action, std::string_view detail = {}) {
    store.append_audit(
        {Clock::now(), std::string(name), std::string(COMMAND_LINE), std::string(action), std::string(detail)});
}

int set_user(StaffStore& store, UserAction action, const std::string& name, Roles roles) {
    const std::optional<std::string> password = password_from_input();
    if (!password) return failed("the password (the first line of standard input) is empty");
    const std::string hash = dashboard::hash_password(*password);
    if (action == UserAction::Add) {
        if (!store.add_user({name, hash, roles})) return failed("user " + name + " exists already");
        note(store, name, "user added", roles_text(roles));
    } else {
        if (!store.set_password(name, hash)) return failed("no user " + name);
        note(store, name, "password changed");
    }
    return 0;
}

int run_user_action(StaffStore& store, UserAction action, const std::string& name, Roles roles) {
    switch (action) {
    case UserAction::Add:
    case UserAction::Passwd: return set_user(store, action, name, roles);
    case UserAction::Remove:
        if (!store.remove_user(name)) return failed("no user " + name);
        note(store, name, "user removed");
        return 0;
    case UserAction::List:
        for (const std::string& user : store.list_users())
            std::printf("%s\n", escaped_for_terminal(user).c_str());
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    return 1;
}

int run_token_action(StaffStore& store, TokenAction action, const std::string& name, Roles roles) {
    if (action == TokenAction::Remove) {
        if (!store.remove_token(name)) return failed("no token " + name);
        note(store, name, "token removed");
        return 0;
    }
    const std::string token = dashboard::random_token();
    if (!store.add_token(name, dashboard::token_key(token), roles)) return failed("token " + name + " exists already");
    note(store, name, "token added", roles_text(roles));
    std::printf("%s\n", token.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// One audit line as the command prints it. A line that stands for repeats says how many and until when
// ("sign-in refused ×37 until ..."), and when they typed other names than the one shown, says that too.
std::string audit_line(const AuditEntry& entry) {
    std::string user = escaped_for_terminal(entry.user);
    if (entry.other_users) user += " and other names";
    std::string action = escaped_for_terminal(entry.action);
    if (entry.repeats > 1)
        action += " \xC3\x97" + std::to_string(entry.repeats) + " until " + utc_text(entry.last, false);
    return utc_text(entry.time, false) + "\t" + user + "\t" + escaped_for_terminal(entry.address) + "\t" + action +
           "\t" + escaped_for_terminal(entry.detail) + "\n";
}

} // namespace

int user_command(UserAction action, const StoreLocation& store, const std::string& name, Roles roles) {
    if (action != UserAction::List && !acceptable_name(name))
        return failed("a user name is 1 to 64 printable characters without spaces");
    try {
        return run_user_action(*open_store(store), action, name, roles);
    } catch (const std::exception& error) {
        return failed(error.what());
    }
}

int token_command(TokenAction action, const StoreLocation& store, const std::string& name, Roles roles) {
    if (!acceptable_name(name)) return failed("a token name is 1 to 64 printable characters without spaces");
    try {
        return run_token_action(*open_store(store), action, name, roles);
    } catch (const std::exception& error) {
        return failed(error.what());
    }
}

int audit_command(const StoreLocation& store, std::size_t limit) {
    try {
        for (const AuditEntry& entry : open_store(store)->list_audit(limit)) {
            const std::string line = audit_line(entry);
            std::fwrite(line.data(), 1, line.size(), stdout);
        }
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const std::exception& error) {
        return failed(error.what());
    }
}

} // namespace lumresults
