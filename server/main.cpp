// server/main.cpp: the lumresults command line: which command, with which options, nothing else.
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/account_commands.h"
#include "server/report_commands.h"
#include "server/serve.h"
#include "server/store_commands.h"

namespace {

using namespace lumresults;

constexpr std::string_view USAGE =
    "usage:\n"
    "  lumresults serve --listen ADDR:PORT STORE [--trusted-proxy CIDR]... [--max-upload BYTES]\n"
    "                   [--threads N] [--connection-timeout SECONDS] [--metrics-from CIDR]...\n"
    "                   [--keep-days N] [--keep-audit-days N] [--workers N]\n"
    "                   [--connection-limit N] [--connections-per-address N] [--staff-from CIDR]...\n"
    "                   [--time-zone NAME]\n"
    "  lumresults reports STORE [--ip ADDR] [--since YYYY-MM-DD] [--json]\n"
    "  lumresults report STORE ID\n"
    "  lumresults reanalyse STORE\n"
    "  lumresults user add|passwd STORE NAME    (the password: first line of standard input)\n"
    "  lumresults user remove STORE NAME\n"
    "  lumresults user list STORE\n"
    "  lumresults token add|remove STORE NAME   (add prints the new token, once)\n"
    "  lumresults audit STORE [--limit N]\n"
    "  lumresults migrate STORE                  (brings the schema up to date; serve does it too)\n"
    "  lumresults copy --from DIR --to URL       (a SQLite store into PostgreSQL; again: only what is new)\n"
    "STORE is --data DIR (SQLite in DIR) or --database postgresql://... (PostgreSQL; serve may add\n"
    "--data DIR for its spool folder).\n";

struct UsageError {
    std::string message;
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
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < least)
        throw UsageError{std::string(option) + ": not a number of at least " + std::to_string(least) + ": " +
                         std::string(text)};
    return value;
}

Cidr cidr_of(std::string_view option, std::string_view text) {
    const std::optional<Cidr> cidr = parse_cidr(text);
    if (!cidr) throw UsageError{std::string(option) + ": not an address or ADDR/BITS: " + std::string(text)};
    return *cidr;
}

ServeOptions serve_options(Arguments arguments) {
    ServeOptions options;
    options.http.monitoring_networks = {*parse_cidr("127.0.0.0/8"), *parse_cidr("::1")};
    bool monitoring_named = false;
    bool listen_named = false;
    while (!arguments.done()) {
        const std::string_view option = arguments.take();
        if (option == "--listen") {
            const std::optional<ListenAddress> listen = parse_listen_address(arguments.value_of(option));
            if (!listen) throw UsageError{"--listen: expected ADDR:PORT with a numeric address"};
            options.http.listen = *listen;
            listen_named = true;
        } else if (took_store_option(option, arguments, options.store)) {
        } else if (option == "--trusted-proxy") {
            options.http.trusted_proxies.push_back(cidr_of(option, arguments.value_of(option)));
        } else if (option == "--metrics-from") {
            if (!monitoring_named) options.http.monitoring_networks.clear();
            monitoring_named = true;
            options.http.monitoring_networks.push_back(cidr_of(option, arguments.value_of(option)));
        } else if (option == "--max-upload") {
            options.max_upload = number_of<std::uint64_t>(option, arguments.value_of(option), 1);
        } else if (option == "--threads") {
            options.http.threads = number_of<unsigned>(option, arguments.value_of(option), 1);
        } else if (option == "--workers") {
            options.http.workers = number_of<unsigned>(option, arguments.value_of(option), 1);
        } else if (option == "--connection-limit") {
            options.http.connection_limit = number_of<unsigned>(option, arguments.value_of(option), 1);
        } else if (option == "--connections-per-address") {
            options.http.connections_per_address = number_of<unsigned>(option, arguments.value_of(option), 1);
        } else if (option == "--staff-from") {
            options.http.staff_networks.push_back(cidr_of(option, arguments.value_of(option)));
        } else if (option == "--connection-timeout") {
            options.http.connection_timeout_s = number_of<unsigned>(option, arguments.value_of(option), 1);
        } else if (option == "--keep-days") {
            options.keep_days = number_of<unsigned>(option, arguments.value_of(option), 0);
        } else if (option == "--time-zone") {
            options.time_zone = std::string(arguments.value_of(option));
        } else if (option == "--keep-audit-days") {
            options.keep_audit_days = number_of<unsigned>(option, arguments.value_of(option), 0);
        } else {
            throw UsageError{"serve: unknown option " + std::string(option)};
        }
    }
    if (!listen_named) throw UsageError{"serve needs --listen"};
    require_store(options.store, "serve");
    return options;
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

// The store's option and, when `with_name`, one NAME, in any order.
std::pair<StoreLocation, std::string> account_options(Arguments arguments, bool with_name) {
    StoreLocation store;
    std::optional<std::string> name;
    while (!arguments.done()) {
        const std::string_view word = arguments.take();
        if (took_store_option(word, arguments, store)) continue;
        if (with_name && !name && !word.starts_with("--"))
            name = std::string(word);
        else
            throw UsageError{"unexpected " + std::string(word)};
    }
    require_store(store, "this command");
    if (with_name && !name) throw UsageError{"needs a NAME"};
    return {store, name.value_or("")};
}

int user(int argc, char** argv) {
    const std::string_view action = argc > 2 ? argv[2] : "";
    const std::optional<UserAction> chosen = action == "add"      ? UserAction::Add
                                             : action == "passwd" ? UserAction::Passwd
                                             : action == "remove" ? UserAction::Remove
                                             : action == "list"   ? std::optional(UserAction::List)
                                                                  : std::nullopt;
    if (!chosen) throw UsageError{"user: add, passwd, remove or list"};
    const auto [store, name] = account_options(Arguments(argc - 1, argv + 1), *chosen != UserAction::List);
    return user_command(*chosen, store, name);
}

int token(int argc, char** argv) {
    const std::string_view action = argc > 2 ? argv[2] : "";
    if (action != "add" && action != "remove") throw UsageError{"token: add or remove"};
    const auto [store, name] = account_options(Arguments(argc - 1, argv + 1), true);
    return token_command(action == "add" ? TokenAction::Add : TokenAction::Remove, store, name);
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
    if (command == "serve") return serve(serve_options(Arguments(argc, argv)));
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
        std::fprintf(stderr, "lumresults: %s\n%s", error.message.c_str(), USAGE.data());
        return 2;
    }
}
