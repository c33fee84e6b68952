// tests/bench/hostile_sign_in_flood.cpp: sign-ins from 1,000 addresses of one IPv6 /64 while a subscriber checks its
// address and others upload their reports: how long /ip/ takes, and how many uploads are stored.
#include "hostile_sign_in_flood.h"

#include <net/if.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "latency_figures.h"
#include "raw_http.h"
#include "server_child.h"
#include "staff_client.h"

namespace lum::bench {
namespace {

using namespace lum::server_testing;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr unsigned FLOOD_ADDRESSES = 1000;
constexpr unsigned FLOOD_STREAMS = 32;
// Offered at a steady rate (as many at once as the streams allow), so that two servers are measured under the
// same flood however fast each refuses it: more than a server without the sign-in lane answers from 32
// streams (about 1,500 a second, each waiting for a worker).
constexpr unsigned FLOOD_RATE = 2000;
constexpr unsigned UPLOAD_STREAMS = 4;
constexpr const char* FLOOD_PREFIX = "fd00:64:0:1::";

// A network namespace of the bench's own, where loopback is the only interface: only there may it add addresses.
bool in_own_network() {
    struct if_nameindex* interfaces = if_nameindex();
    if (interfaces == nullptr) return false;
    bool only_loopback = true;
    for (const struct if_nameindex* each = interfaces; each->if_index != 0; ++each)
        only_loopback = only_loopback && std::string_view(each->if_name) == "lo";
    if_freenameindex(interfaces);
    return only_loopback;
}

std::string flood_address(unsigned n) {
    char text[64];
    std::snprintf(text, sizeof text, "%s%x", FLOOD_PREFIX, 1 + n % FLOOD_ADDRESSES);
    return text;
}

// All of them at once through `ip -batch`, without duplicate address detection (they are usable at once).
void add_flood_addresses(const fs::path& work) {
    const fs::path batch = work / "flood-addresses";
    {
        std::ofstream lines(batch);
        for (unsigned n = 0; n < FLOOD_ADDRESSES; ++n)
            lines << "addr add " << flood_address(n) << "/128 dev lo nodad\n";
    }
    if (std::system(("ip -6 -batch " + batch.string() + " >/dev/null").c_str()) != 0)
        throw std::runtime_error("cannot add the flood's addresses to loopback");
}

// What each side saw, gathered from every thread.
struct Seen {
    std::mutex mutex;
    std::vector<double> ip_ms, upload_ms;
    unsigned ip_failed = 0, uploads_sent = 0, uploads_stored = 0;
    std::map<int, unsigned> sign_ins; // by status, 0 for no answer
};

void probe_ip(int port, const std::atomic<bool>& done, Seen& seen) {
    const std::string head = "HEAD /ip/ HTTP/1.1\r\nAccept: */*\r\nHost: 127.0.0.1\r\n\r\n";
    while (!done) {
        const auto start = Clock::now();
        const auto answer = exchange(port, head, 10s, true, "127.0.0.2");
        const double took = ms_since(start);
        const std::lock_guard lock(seen.mutex);
        if (answer && answer->status == 200)
            seen.ip_ms.push_back(took);
        else
            ++seen.ip_failed;
    }
}

void upload_reports(int port, unsigned stream, const std::string& request, const std::atomic<bool>& done, Seen& seen) {
    const std::string from = "127.0.4." + std::to_string(1 + stream);
    while (!done) {
        const auto start = Clock::now();
        const auto answer = exchange(port, request, 30s, false, from);
        const double took = ms_since(start);
        const std::lock_guard lock(seen.mutex);
        ++seen.uploads_sent;
        if (answer && acknowledged_id(*answer)) {
            ++seen.uploads_stored;
            seen.upload_ms.push_back(took);
        }
    }
}

// A new name each time, and the next address of the /64: neither a hold on a name nor one on an address spares
// the server a sign-in. Sign-in n is sent at its time in the flood, or as soon as a stream is free after it.
void flood_sign_ins(int port, const std::string& form_cookie, Clock::time_point start, std::atomic<unsigned>& next,
                    const std::atomic<bool>& done, Seen& seen) {
    for (unsigned n = next++; !done; n = next++) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(1000000ull * n / FLOOD_RATE));
        const std::string request =
            form_request("POST", "/support/sign-in", "Cookie: lumresults_signin=" + form_cookie + "\r\n",
                         "user=someone-" + std::to_string(n) + "&password=wrong&csrf=" + form_cookie + "&next=%2F");
        const auto answer = exchange(port, request, 30s, false, flood_address(n));
        const std::lock_guard lock(seen.mutex);
        ++seen.sign_ins[answer ? answer->status : 0];
    }
}

void print(const Seen& seen, std::chrono::seconds length, double flood_seconds) {
    std::printf("sign-in flood from %u addresses of %s/64 (%lld s, %u a second offered, %u streams):\n",
                FLOOD_ADDRESSES, FLOOD_PREFIX, static_cast<long long>(length.count()), FLOOD_RATE, FLOOD_STREAMS);
    std::printf("  /ip/ p50 %7.2f ms  p99 %7.2f ms (%zu)  failed %u\n", percentile(seen.ip_ms, 0.5),
                percentile(seen.ip_ms, 0.99), seen.ip_ms.size(), seen.ip_failed);
    std::printf("  uploads stored %u of %u sent (%u streams)  p50 %7.1f ms  p99 %7.1f ms\n", seen.uploads_stored,
                seen.uploads_sent, UPLOAD_STREAMS, percentile(seen.upload_ms, 0.5), percentile(seen.upload_ms, 0.99));
    unsigned sent = 0;
    for (const auto& [status, count] : seen.sign_ins)
        sent += count;
    std::printf("  sign-ins %u (%.0f a second), answered:", sent, sent / flood_seconds);
    for (const auto& [status, count] : seen.sign_ins) {
        if (status == 0)
            std::printf("  not at all %u", count);
        else
            std::printf("  %d: %u", status, count);
    }
    std::printf("\n");
}

} // namespace

void sign_in_flood_phase(const fs::path& work, std::chrono::seconds length, const std::string& report) {
    if (!in_own_network()) {
        std::printf("sign-in flood from one /64: skipped, not in a network namespace of the bench's own\n");
        return;
    }
    add_flood_addresses(work);
    fs::create_directories(work / "sign-in-flood");
    const ServerChild server(work / "sign-in-flood", {"--listen", "[::]:0"}, work / "sign-in-flood.log");
    const int port = server.port();
    const std::string form_cookie =
        set_cookie(send_to(port, form_request("GET", "/support/sign-in")), "lumresults_signin").value_or("");
    const std::string upload = upload_request(program_upload_body(report));
    Seen seen;
    std::atomic<bool> done{false};
    std::atomic<unsigned> next{0};
    std::vector<std::thread> threads;
    const auto flood_start = Clock::now();
    for (unsigned stream = 0; stream < FLOOD_STREAMS; ++stream)
        threads.emplace_back([&] { flood_sign_ins(port, form_cookie, flood_start, next, done, seen); });
    std::this_thread::sleep_for(500ms); // the flood is at full strength before the subscribers come
    for (unsigned stream = 0; stream < UPLOAD_STREAMS; ++stream)
        threads.emplace_back([&, stream] { upload_reports(port, stream, upload, done, seen); });
    threads.emplace_back([&] { probe_ip(port, done, seen); });
    std::this_thread::sleep_for(length);
    done = true;
    for (std::thread& thread : threads)
        thread.join();
    print(seen, length, ms_since(flood_start) / 1000);
}

} // namespace lum::bench
