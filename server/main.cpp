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

namespace {

using namespace lumresults;

constexpr std::string_view USAGE =
    "usage:\n"
    "  lumresults serve --listen ADDR:PORT --data DIR [--trusted-proxy CIDR]... [--max-upload BYTES]\n"
    "                   [--threads N] [--connection-timeout SECONDS] [--metrics-from CIDR]...\n"
    "                   [--keep-days N]\n"
    "  lumresults reports --data DIR [--ip ADDR] [--since YYYY-MM-DD] [--json]\n"
    "  lumresults report --data DIR ID\n"
    "  lumresults reanalyse --data DIR\n"
    "  lumresults user add|passwd --data DIR NAME    (the password: first line of standard input)\n"
    "  lumresults user remove --data DIR NAME\n"
    "  lumresults user list --data DIR\n"
    "  lumresults token add|remove --data DIR NAME   (add prints the new token, once)\n"
    "  lumresults audit --data DIR [--limit N]\n";

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
        } else if (option == "--data") {
            options.data_dir = arguments.value_of(option);
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
        } else if (option == "--connection-timeout") {
            options.http.connection_timeout_s = number_of<unsigned>(option, arguments.value_of(option), 1);
        } else if (option == "--keep-days") {
            options.keep_days = number_of<unsigned>(option, arguments.value_of(option), 0);
        } else {
            throw UsageError{"serve: unknown option " + std::string(option)};
        }
    }
    if (!listen_named || options.data_dir.empty()) throw UsageError{"serve needs --listen and --data"};
    return options;
}

ListingOptions listing_options(Arguments arguments) {
    ListingOptions options;
    while (!arguments.done()) {
        const std::string_view option = arguments.take();
        if (option == "--data") {
            options.data_dir = arguments.value_of(option);
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
    if (options.data_dir.empty()) throw UsageError{"reports needs --data"};
    return options;
}

std::pair<std::filesystem::path, std::int64_t> report_options(Arguments arguments) {
    std::filesystem::path data_dir;
    std::optional<std::int64_t> id;
    while (!arguments.done()) {
        const std::string_view word = arguments.take();
        if (word == "--data")
            data_dir = arguments.value_of(word);
        else if (!id)
            id = number_of<std::int64_t>("ID", word, 1);
        else
            throw UsageError{"report: one ID only"};
    }
    if (data_dir.empty() || !id) throw UsageError{"report needs --data and an ID"};
    return {data_dir, *id};
}

std::filesystem::path data_dir_only(Arguments arguments) {
    std::filesystem::path data_dir;
    while (!arguments.done()) {
        const std::string_view option = arguments.take();
        if (option != "--data") throw UsageError{"unknown option " + std::string(option)};
        data_dir = arguments.value_of(option);
    }
    if (data_dir.empty()) throw UsageError{"--data is needed"};
    return data_dir;
}

// "--data DIR" and, when `with_name`, one NAME, in any order.
std::pair<std::filesystem::path, std::string> account_options(Arguments arguments, bool with_name) {
    std::filesystem::path data_dir;
    std::optional<std::string> name;
    while (!arguments.done()) {
        const std::string_view word = arguments.take();
        if (word == "--data")
            data_dir = arguments.value_of(word);
        else if (with_name && !name && !word.starts_with("--"))
            name = std::string(word);
        else
            throw UsageError{"unexpected " + std::string(word)};
    }
    if (data_dir.empty() || (with_name && !name))
        throw UsageError{with_name ? "needs --data and a NAME" : "needs --data"};
    return {data_dir, name.value_or("")};
}

int user(int argc, char** argv) {
    const std::string_view action = argc > 2 ? argv[2] : "";
    const std::optional<UserAction> chosen = action == "add"      ? UserAction::Add
                                             : action == "passwd" ? UserAction::Passwd
                                             : action == "remove" ? UserAction::Remove
                                             : action == "list"   ? std::optional(UserAction::List)
                                                                  : std::nullopt;
    if (!chosen) throw UsageError{"user: add, passwd, remove or list"};
    const auto [data_dir, name] = account_options(Arguments(argc - 1, argv + 1), *chosen != UserAction::List);
    return user_command(*chosen, data_dir, name);
}

int token(int argc, char** argv) {
    const std::string_view action = argc > 2 ? argv[2] : "";
    if (action != "add" && action != "remove") throw UsageError{"token: add or remove"};
    const auto [data_dir, name] = account_options(Arguments(argc - 1, argv + 1), true);
    return token_command(action == "add" ? TokenAction::Add : TokenAction::Remove, data_dir, name);
}

int audit(Arguments arguments) {
    std::filesystem::path data_dir;
    std::size_t limit = 100;
    while (!arguments.done()) {
        const std::string_view option = arguments.take();
        if (option == "--data")
            data_dir = arguments.value_of(option);
        else if (option == "--limit")
            limit = number_of<std::size_t>(option, arguments.value_of(option), 1);
        else
            throw UsageError{"audit: unknown option " + std::string(option)};
    }
    if (data_dir.empty()) throw UsageError{"audit needs --data"};
    return audit_command(data_dir, limit);
}

int run(int argc, char** argv) {
    if (argc < 2) throw UsageError{"no command"};
    const std::string_view command = argv[1];
    if (command == "serve") return serve(serve_options(Arguments(argc, argv)));
    if (command == "reports") return list_reports(listing_options(Arguments(argc, argv)));
    if (command == "report") {
        const auto [data_dir, id] = report_options(Arguments(argc, argv));
        return write_report(data_dir, id);
    }
    if (command == "reanalyse") return read_reports_again(data_dir_only(Arguments(argc, argv)));
    if (command == "user") return user(argc, argv);
    if (command == "token") return token(argc, argv);
    if (command == "audit") return audit(Arguments(argc, argv));
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
