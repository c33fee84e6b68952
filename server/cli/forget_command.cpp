// server/cli/forget_command.cpp: `lumresults forget`'s words read, the erasure done, and its audit line written.
#include "server/cli/forget_command.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

#include "server/reports/computer_ids.h"
#include "server/store/store.h"
#include "server/web/search_query.h"

namespace lumresults {
namespace {

struct ForgetRequest {
    StoreLocation store;
    ForgetWhom whom;
};

Clock::time_point date_of(const std::string& text, bool to_end) {
    std::optional<Clock::time_point> time;
    const std::string error = read_time(text, to_end, TimesIn::utc, time);
    if (!error.empty()) throw std::invalid_argument(error);
    return *time;
}

// Exactly one of the three kinds, with both dates for an address.
ForgetRequest read_request(int argc, char** argv) {
    ForgetRequest request;
    std::string from, to, computer;
    for (int i = 0; i < argc; i += 2) {
        const std::string_view option = argv[i];
        if (i + 1 >= argc) throw std::invalid_argument(std::string(option) + " needs a value");
        const std::string value = argv[i + 1];
        if (option == "--data") request.store.data_dir = value;
        else if (option == "--database") request.store.database = value;
        else if (option == "--subscriber") request.whom.subscriber = value;
        else if (option == "--computer") computer = value;
        else if (option == "--address") request.whom.address = value;
        else if (option == "--from") from = value;
        else if (option == "--to") to = value;
        else throw std::invalid_argument("unknown option " + std::string(option));
    }
    if (request.store.data_dir.empty() && request.store.database.empty())
        throw std::invalid_argument("needs --data DIR or --database URL");
    if (int(!request.whom.subscriber.empty()) + int(!computer.empty()) + int(!request.whom.address.empty()) != 1)
        throw std::invalid_argument("needs one of --subscriber NAME, --computer MAC or --address A --from --to");
    if (!computer.empty()) {
        const std::optional<std::string> mac = lum::reports::mac_key(computer);
        if (!mac) throw std::invalid_argument("not a computer's own MAC address: " + computer);
        request.whom.computer_mac = *mac;
    }
    if (!request.whom.address.empty()) {
        if (from.empty() || to.empty()) throw std::invalid_argument("--address needs --from DATE and --to DATE");
        request.whom.from = date_of(from, false);
        request.whom.to = date_of(to, true);
    }
    return request;
}

// Who ran the command: the account that asked sudo, else the one running it.
std::string operator_name() {
    if (const char* sudo = std::getenv("SUDO_USER"); sudo != nullptr && *sudo != '\0') return sudo;
    const passwd* account = getpwuid(geteuid());
    return account != nullptr ? account->pw_name : "uid " + std::to_string(geteuid());
}

std::string counts_text(const ForgetCounts& counts) {
    return std::to_string(counts.reports) + " report(s), " + std::to_string(counts.speed_tests) + " speed test(s), " +
           std::to_string(counts.sessions) + " session(s)";
}

} // namespace

int forget_command(int argc, char** argv) {
    ForgetRequest request;
    try {
        request = read_request(argc, argv);
    } catch (const std::invalid_argument& error) {
        std::fprintf(stderr, "lumresults: forget: %s\n", error.what());
        return 2;
    }
    try {
        const std::unique_ptr<Store> store = open_store(request.store);
        const ForgetCounts counts = store->forget(request.whom);
        // The line says who erased and how much, never whom: it would keep what was just erased.
        store->append_audit({Clock::now(), operator_name(), "command line", "personal data forgotten", counts_text(counts)});
        std::printf("lumresults: forgot %s\n", counts_text(counts).c_str());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumresults: forget: %s\n", error.what());
        return 1;
    }
}

} // namespace lumresults
