// server/cli/main.cpp: the lumresults command line: which command, with which options, nothing else.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/cli/account_commands.h"
#include "server/cli/forget_command.h"
#include "server/cli/sessions_command.h"
#include "server/common/whole_number.h"
#include "server/cli/report_commands.h"
#include "server/cli/serve.h"
#include "server/cli/serve_options.h"
#include "server/version.h"
#include "server/cli/store_commands.h"

namespace {

using namespace lumresults;

constexpr std::string_view USAGE =
    "usage:\n"
    "  lumresults serve [--config FILE] --listen ADDR:PORT STORE [--trusted-proxy CIDR]...\n"
    "                   [--max-upload BYTES] [--threads N] [--connection-timeout SECONDS]\n"
    "                   [--metrics-from CIDR]... [--keep-days N] [--keep-audit-days N] [--workers N]\n"
    "                   [--connection-limit N] [--connections-per-address N] [--staff-from CIDR]...\n"
    "                   [--time-zone NAME] [--ldap-url URL --ldap-bind-dn DN --ldap-bind-password-file FILE\n"
    "                   --ldap-base DN --ldap-role 'GROUP-DN ROLE'... [--ldap-OPTION VALUE]...]\n"
    "                   (FILE: \"name = value\" lines with the options' names; the command line wins)\n"
    "  lumresults reports STORE [--ip ADDR] [--since YYYY-MM-DD] [--json]\n"
    "  lumresults report STORE ID\n"
    "  lumresults reanalyse STORE\n"
    "  lumresults user add STORE NAME [--role ROLE]...  (the password: first line of standard input)\n"
    "  lumresults user passwd STORE NAME\n"
    "  lumresults user remove STORE NAME\n"
    "  lumresults user list STORE\n"
    "  lumresults token add STORE NAME [--role ROLE]...  (prints the new token, once)\n"
    "  lumresults token remove STORE NAME\n"
    "                   (ROLE: support, network or admin; a user's default support, a token's all three)\n"
    "  lumresults audit STORE [--limit N]\n"
    "  lumresults sessions import STORE --from URL   (FreeRADIUS's radacct history, again: nothing new)\n"
    "  lumresults forget STORE --subscriber NAME | --computer MAC | --address A --from DATE --to DATE\n"
    "  lumresults migrate STORE                  (brings the schema up to date; serve does it too)\n"
    "  lumresults copy --from DIR --to URL       (a SQLite store into PostgreSQL; again: only what is new)\n"
    "  lumresults --version\n"
    "STORE is --data DIR (SQLite in DIR) or --database postgresql://... (PostgreSQL; serve may add\n"
    "--data DIR for its spool folder).\n";

struct UsageError {
    std::string message;
    bool show_usage = true;
};

// The options after the command, each "--name value" or a lone flag, in order.
class Arguments {
public:
    Arguments(int argc, char** argv) : words_(argv + 2, argv + argc) {}
    bool done() const { return next_ >= words_.size(); }
    std::string_view take() { return words_[next_++]; }
    std::string_view value_of(std::string_view option) {
        if (done()) throw UsageError{std::string(option) + " needs a value"};
        return take();
    }

private:
    std::vector<std::string_view> words_;
    std::size_t next_ = 0;
};

// Takes --data or --database into `store`; false for any other option.
bool took_store_option(std::string_view option, Arguments& arguments, StoreLocation& store) {
    if (option == "--data")
        store.data_dir = arguments.value_of(option);
    else if (option == "--database")
        store.database = arguments.value_of(option);
    else
        return false;
    return true;
}

void require_store(const StoreLocation& store, std::string_view command) {
    if (store.data_dir.empty() && store.database.empty())
        throw UsageError{std::string(command) + " needs --data DIR or --database URL"};
}

template <typename Number> Number number_of(std::string_view option, std::string_view text, Number least) {
    const std::optional<Number> value = whole_number<Number>(text, least);
    if (!value)
        throw UsageError{std::string(option) + ": not a number of at least " + std::to_string(least) + ": " +
                         std::string(text)};
    return *value;
}

// serve's "--name value" pairs, and its configuration file apart.
ServeCommand serve_command(Arguments arguments) {
    ServeCommand command;
    while (!arguments.done()) {
        const std::string_view option = arguments.take();
        if (!option.starts_with("--")) throw UsageError{"serve: unexpected " + std::string(option)};
        const std::string value(arguments.value_of(option));
        if (option == "--config")
            command.config = value;
        else
            command.command_line.push_back({std::string(option.substr(2)), value, {}});
    }
    return command;
}

ListingOptions listing_options(Arguments arguments) {
    ListingOptions options;
    while (!arguments.done()) {
        const std::string_view option = arguments.take();
        if (took_store_option(option, arguments, options.store)) {
        } else if (option == "--ip") {
            const std::optional<IpAddress> address = parse_address(arguments.value_of(option));
            if (!address) throw UsageError{"--ip: not an IPv4 or IPv6 address"};
            options.caller = format_address(*address);
        } else if (option == "--since") {
            options.since = std::string(arguments.value_of(option));
        } else if (option == "--json") {
            options.json = true;
        } else {
            throw UsageError{"reports: unknown option " + std::string(option)};
        }
    }
    require_store(options.store, "reports");
    return options;
}

std::pair<StoreLocation, std::int64_t> report_options(Arguments arguments) {
    StoreLocation store;
    std::optional<std::int64_t> id;
    while (!arguments.done()) {
        const std::string_view word = arguments.take();
        if (took_store_option(word, arguments, store)) continue;
        if (!id)
            id = number_of<std::int64_t>("ID", word, 1);
        else
            throw UsageError{"report: one ID only"};
    }
    require_store(store, "report");
    if (!id) throw UsageError{"report needs an ID"};
    return {store, *id};
}

StoreLocation store_only(Arguments arguments, std::string_view command) {
    StoreLocation store;
    while (!arguments.done()) {
        const std::string_view option = arguments.take();
        if (!took_store_option(option, arguments, store)) throw UsageError{"unknown option " + std::string(option)};
    }
    require_store(store, command);
    return store;
}

// What an account command was given: its store, its NAME and the roles named with --role.
struct AccountOptions {
    StoreLocation store;
    std::string name;
    std::optional<Roles> roles;
};

Roles with_role(std::optional<Roles> roles, std::string_view name) {
    const std::optional<Role> role = role_named(name);
    if (!role) throw UsageError{"--role: support, network or admin, not " + std::string(name)};
    return roles.value_or(Roles{}) | *role;
}

// The store's option, when `with_name` one NAME, and when `with_roles` any --role, in any order.
AccountOptions account_options(Arguments arguments, bool with_name, bool with_roles) {
    AccountOptions options;
    std::optional<std::string> name;
    while (!arguments.done()) {
        const std::string_view word = arguments.take();
        if (took_store_option(word, arguments, options.store)) continue;
        if (with_roles && word == "--role")
            options.roles = with_role(options.roles, arguments.value_of(word));
        else if (with_name && !name && !word.starts_with("--"))
            name = std::string(word);
        else
            throw UsageError{"unexpected " + std::string(word)};
    }
    require_store(options.store, "this command");
    if (with_name && !name) throw UsageError{"needs a NAME"};
    options.name = name.value_or("");
    return options;
}

int user(int argc, char** argv) {
    const std::string_view action = argc > 2 ? argv[2] : "";
    const std::optional<UserAction> chosen = action == "add"      ? UserAction::Add
                                             : action == "passwd" ? UserAction::Passwd
                                             : action == "remove" ? UserAction::Remove
                                             : action == "list"   ? std::optional(UserAction::List)
                                                                  : std::nullopt;
    if (!chosen) throw UsageError{"user: add, passwd, remove or list"};
    const AccountOptions options =
        account_options(Arguments(argc - 1, argv + 1), *chosen != UserAction::List, *chosen == UserAction::Add);
    // Least to begin with: support staff are most of the accounts, and more can be given by remaking one.
    return user_command(*chosen, options.store, options.name, options.roles.value_or(Role::Support));
}

int token(int argc, char** argv) {
    const std::string_view action = argc > 2 ? argv[2] : "";
    if (action != "add" && action != "remove") throw UsageError{"token: add or remove"};
    const AccountOptions options = account_options(Arguments(argc - 1, argv + 1), true, action == "add");
    // A token has its maker's roles; the command line's maker is the operator's root, who holds them all.
    return token_command(action == "add" ? TokenAction::Add : TokenAction::Remove, options.store, options.name,
                         options.roles.value_or(Roles::all()));
}

int audit(Arguments arguments) {
    StoreLocation store;
    std::size_t limit = 100;
    while (!arguments.done()) {
        const std::string_view option = arguments.take();
        if (took_store_option(option, arguments, store)) continue;
        if (option == "--limit")
            limit = number_of<std::size_t>(option, arguments.value_of(option), 1);
        else
            throw UsageError{"audit: unknown option " + std::string(option)};
    }
    require_store(store, "audit");
    return audit_command(store, limit);
}

int copy(Arguments arguments) {
    std::filesystem::path from;
    std::string to;
    while (!arguments.done()) {
        const std::string_view option = arguments.take();
        if (option == "--from")
            from = arguments.value_of(option);
        else if (option == "--to")
            to = arguments.value_of(option);
        else
            throw UsageError{"copy: unknown option " + std::string(option)};
    }
    if (from.empty() || to.empty()) throw UsageError{"copy needs --from DIR and --to URL"};
    return copy_command(from, to);
}

int run(int argc, char** argv) {
    if (argc < 2) throw UsageError{"no command"};
    const std::string_view command = argv[1];
    if (command == "serve") {
        const ServeCommand serve = serve_command(Arguments(argc, argv));
        try {
            return lumresults::serve(serve_options_of(serve), [serve] { return serve_options_of(serve); });
        } catch (const SettingError& error) {
            // A file's fault names its file and line; the usage would only hide it.
            throw UsageError{error.what(), !serve.config};
        }
    }
    if (command == "reports") return list_reports(listing_options(Arguments(argc, argv)));
    if (command == "report") {
        const auto [store, id] = report_options(Arguments(argc, argv));
        return write_report(store, id);
    }
    if (command == "reanalyse") return read_reports_again(store_only(Arguments(argc, argv), "reanalyse"));
    if (command == "user") return user(argc, argv);
    if (command == "token") return token(argc, argv);
    if (command == "audit") return audit(Arguments(argc, argv));
    if (command == "migrate") return migrate_command(store_only(Arguments(argc, argv), "migrate"));
    if (command == "copy") return copy(Arguments(argc, argv));
    if (command == "forget") return forget_command(argc - 2, argv + 2);
    if (command == "sessions") return sessions_command(argc - 2, argv + 2);
    if (command == "--version") {
        std::printf("lumresults %s\n", LUMRESULTS_VERSION);
        return 0;
    }
    if (command == "--help" || command == "help") {
        std::fputs(USAGE.data(), stdout);
        return 0;
    }
    throw UsageError{"unknown command " + std::string(command)};
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "lumresults: %s\n%s", error.message.c_str(), error.show_usage ? USAGE.data() : "");
        return 2;
    }
}
