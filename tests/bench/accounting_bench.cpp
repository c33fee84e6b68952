// tests/bench/accounting_bench.cpp: accounting requests made durable per second through the UDP listener, and who
// held an address at a time among many sessions.
//
//   accounting_bench [requests] [sessions] [folder]   (defaults 20000, 10000000 and a folder beside the binary)
//
// The first figure sends signed Start requests to the listener on loopback, up to 256 unanswered at once, as
// a relay with a backlog does; each answer comes only once its batch is on stable storage. The second fills
// the session tables directly in SQL (sessions in tens of a thousand addresses' turns), then times lookups
// of random addresses at random times. Both run on SQLite, and on PostgreSQL too when LUMRESULTS_TEST_POSTGRES
// names a scratch server (scripts/lib/postgres.sh). Build without sanitizers (linux-release) for figures.
#include "server/radius/accounting_listener.h"
#include "server/radius/accounting_packet.h"
#include "server/store/sqlite/connections.h"
#include "server/store/sqlite/sqlite_handles.h"

#include "scratch_postgres.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace lumresults;
using SteadyClock = std::chrono::steady_clock;

constexpr const char* SECRET = "bench-secret";
constexpr std::size_t WINDOW = 256;
constexpr std::int64_t ADDRESSES = 1000000; // sessions take turns on these, ten apiece at ten million

std::filesystem::path own_folder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return std::filesystem::path(std::string(path, length > 0 ? static_cast<std::size_t>(length) : 0)).parent_path();
}

std::string four(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
            static_cast<char>(value)};
}

std::string start_packet(std::uint32_t n) {
    return radius::make_accounting_request(
        static_cast<std::uint8_t>(n), {{1, "user" + std::to_string(n)}, {40, four(1)}, {44, "S" + std::to_string(n)},
                                       {8, four(0x0A000000u + n)}, {4, four(0xC0000201u)}, {55, four(1765000000u + n)}},
        SECRET);
}

// Sends `requests` Starts, WINDOW unanswered at most; the answered per second, or a negative count of the lost.
double requests_per_second(Store& store, std::uint32_t requests) {
    Metrics metrics;
    radius::AccountingSettings settings;
    settings.listen.host = "127.0.0.1";
    settings.clients.push_back({*parse_cidr("127.0.0.1"), SECRET});
    settings.client_rate = 1000000000u; // the bench measures the store, not the budget
    radius::AccountingListener listener(store, metrics, settings);
    const std::string bound = listener.bound_address();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(std::stoi(bound.substr(bound.rfind(':') + 1))));
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    const radius::FileDescriptor client(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    std::uint32_t sent = 0, answered = 0;
    char answer[64];
    const auto began = SteadyClock::now();
    while (answered < requests) {
        while (sent < requests && sent - answered < WINDOW) {
            const std::string packet = start_packet(sent++);
            sendto(client.get(), packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        }
        pollfd wait{client.get(), POLLIN, 0};
        if (poll(&wait, 1, 5000) <= 0) return -double(requests - answered);
        while (recv(client.get(), answer, sizeof answer, MSG_DONTWAIT) > 0)
            ++answered;
    }
    return requests / std::chrono::duration<double>(SteadyClock::now() - began).count();
}

// Sessions i = 0 .. count-1: address 10.x.y.z of i % ADDRESSES, starting an hour after the one before it
// on that address and stopping 50 minutes later. The SQL generates them, so filling costs seconds a million.
std::string fill_sql(std::int64_t count, bool postgres) {
    const std::string series =
        postgres ? "SELECT generate_series(0, " + std::to_string(count - 1) + ") AS i"
                 : "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                       std::to_string(count - 1) + ") SELECT i FROM n";
    const std::string address = "'10.' || ((i % " + std::to_string(ADDRESSES) + ") / 65536) || '.' || ((i % " +
                                std::to_string(ADDRESSES) + ") / 256 % 256) || '.' || (i % 256)";
    const std::string blob = postgres ? "convert_to('S' || i, 'UTF8')" : "CAST('S' || i AS BLOB)";
    const std::string start = "(1765000000000 + (i / " + std::to_string(ADDRESSES) + ") * 3600000)";
    return "INSERT INTO subscriber_sessions (id, node_address, node_id, session_id, user_name, port_id, calling_station, "
           "ipv4, ipv6_prefixes, start_ms, update_ms, stop_ms) SELECT i + 1, '192.0.2.1', " + blob + ", " + blob +
           ", " + blob + ", " + blob + ", " + blob + ", " + address + ", '', " + start + ", " + start + " + 3000000, " +
           start + " + 3000000 FROM (" + series + ") g; INSERT INTO session_addresses (address, start_ms, session) "
           "SELECT ipv4, start_ms, id FROM subscriber_sessions;";
}

// Mean and 99th percentile of a lookup, in microseconds.
std::pair<double, double> lookup_micros(Store& store, std::int64_t count) {
    std::mt19937_64 random(42);
    std::vector<double> took;
    const std::int64_t turns = std::max<std::int64_t>(1, count / ADDRESSES);
    for (int n = 0; n < 10000; ++n) {
        const std::int64_t a = static_cast<std::int64_t>(random() % std::min(count, ADDRESSES));
        const std::string address = "10." + std::to_string(a / 65536) + "." + std::to_string(a / 256 % 256) + "." +
                                    std::to_string(a % 256);
        const auto when = Clock::time_point(std::chrono::milliseconds(
            1765000000000 + static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(turns)) * 3600000 + 60000));
        const auto began = SteadyClock::now();
        const bool found = store.session_at(address, when).has_value();
        took.push_back(std::chrono::duration<double, std::micro>(SteadyClock::now() - began).count());
        if (!found) std::fprintf(stderr, "accounting_bench: nobody held %s\n", address.c_str());
    }
    std::sort(took.begin(), took.end());
    double sum = 0;
    for (const double t : took)
        sum += t;
    return {sum / double(took.size()), took[took.size() * 99 / 100]};
}

void run(const char* name, const std::function<std::unique_ptr<Store>()>& open, const std::function<void(const std::string&)>& exec,
         std::uint32_t requests, std::int64_t sessions, bool postgres) {
    {
        const std::unique_ptr<Store> store = open();
        std::printf("%s: %.0f accounting requests/s made durable (%u Starts, %zu unanswered at most)\n", name,
                    requests_per_second(*store, requests), requests, WINDOW);
    }
    exec("DELETE FROM session_addresses; DELETE FROM accounting_events; DELETE FROM subscriber_sessions;");
    const auto began = SteadyClock::now();
    exec(fill_sql(sessions, postgres));
    const double fill = std::chrono::duration<double>(SteadyClock::now() - began).count();
    const std::unique_ptr<Store> store = open();
    const auto [mean, p99] = lookup_micros(*store, sessions);
    std::printf("%s: who held an address at a time among %lld sessions: %.0f us mean, %.0f us at the 99th "
                "percentile (filled in %.0f s)\n",
                name, static_cast<long long>(sessions), mean, p99, fill);
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as it comes: the fill at ten million takes minutes
    const auto requests = static_cast<std::uint32_t>(argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20000);
    const std::int64_t sessions = argc > 2 ? std::strtoll(argv[2], nullptr, 10) : 10000000;
    const std::filesystem::path folder = argc > 3 ? std::filesystem::path(argv[3]) : own_folder() / "accounting-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto sqlite_exec = [&](const std::string& sql) {
        const sqlite::Connection db = sqlite::open_store_connection(folder / "lumresults.sqlite3", sqlite::Role::writer);
        sqlite::exec(db.get(), sql.c_str());
    };
    run("SQLite", [&] { return open_sqlite_store(folder); }, sqlite_exec, requests, sessions, false);
    if (!testing_support::postgres_unavailable()) {
        testing_support::ScratchPostgres database;
        run("PostgreSQL", [&] { return open_postgres_store(database.url()); },
            [&](const std::string& sql) { database.exec(sql); }, requests, sessions, true);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
