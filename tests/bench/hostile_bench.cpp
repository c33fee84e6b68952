// tests/bench/hostile_bench.cpp: what hostile callers cost everyone else: the start-up check's latency idle, under
// a flood of sign-ins and under a flood of uploads, and the server's peak memory under the largest uploads.
//
//   hostile_bench SECONDS_PER_PHASE [MAX_UPLOAD_BYTES]
//
// Starts the built lumresults with its defaults on loopback (run it inside a network namespace of its own).
// The subscriber probes from 127.0.0.2: "HEAD /ip/" as the program sends it, and now and then the 10 MB
// download; the floods come from 127.0.1.0/24 and beyond, a new address for every sign-in so that no hold
// on one address spares the server its password hashing. Then, for `threads` uploads of MAX_UPLOAD_BYTES
// (the default limit unless given) at once, of line feeds, of one long line, of a release line of control
// bytes and of the lab's passing report repeated: the server's peak memory (VmHWM) and its data folder's
// growth against the bytes stored. LUMRESULTS in the environment names another build to measure. It prints
// figures; it fails only when something cannot run.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "hostile_report_page.h"
#include "hostile_sign_in_flood.h"
#include "lab_report.h"
#include "raw_http.h"
#include "server_child.h"
#include "staff_client.h"
#include "test_support.h"

namespace {

using namespace lum::server_testing;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr unsigned FLOOD_STREAMS = 8;
constexpr unsigned SERVER_THREADS = 2; // the server's default --threads
const std::string PROGRAM_HEAD = "HEAD /ip/ HTTP/1.1\r\nAccept: */*\r\nHost: 127.0.0.1\r\n\r\n";

struct Latencies {
    std::vector<double> ip_ms;
    std::vector<double> download_ms;
    unsigned failures = 0;
};

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(share * static_cast<double>(values.size())))];
}

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The subscriber's side: /ip/ ten times, then the download once, until the time is up.
Latencies probe(int port, std::chrono::seconds length) {
    Latencies seen;
    const auto end = Clock::now() + length;
    for (unsigned round = 0; Clock::now() < end; ++round) {
        const auto start = Clock::now();
        const bool download = round % 11 == 10;
        const auto answer = download ? exchange(port, simple_request("GET", "/10mb.bin"), 10s, false, "127.0.0.2")
                                     : exchange(port, PROGRAM_HEAD, 10s, true, "127.0.0.2");
        if (!answer || answer->status != 200) {
            ++seen.failures;
            continue;
        }
        (download ? seen.download_ms : seen.ip_ms).push_back(ms_since(start));
    }
    return seen;
}

void print(const char* phase, const Latencies& seen, unsigned flood_requests) {
    std::printf("  %-16s /ip/ p50 %7.2f ms  p99 %7.2f ms (%zu)   /10mb.bin p50 %7.2f ms  p99 %7.2f ms (%zu)"
                "   failed %u   flood requests %u\n",
                phase, percentile(seen.ip_ms, 0.5), percentile(seen.ip_ms, 0.99), seen.ip_ms.size(),
                percentile(seen.download_ms, 0.5), percentile(seen.download_ms, 0.99), seen.download_ms.size(),
                seen.failures, flood_requests);
}

// Runs `send(stream, n)` from FLOOD_STREAMS threads until the probe is done; gives how many were sent.
template <typename Send>
unsigned flood_while_probing(int port, std::chrono::seconds length, Send send, const char* phase) {
    std::atomic<bool> done{false};
    std::atomic<unsigned> sent{0};
    std::vector<std::thread> streams;
    for (unsigned stream = 0; stream < FLOOD_STREAMS; ++stream)
        streams.emplace_back([&, stream] {
            for (unsigned n = 0; !done; ++n, ++sent)
                send(stream, n);
        });
    std::this_thread::sleep_for(500ms); // the flood is at full strength before the first probe
    const Latencies seen = probe(port, length);
    done = true;
    for (std::thread& stream : streams)
        stream.join();
    print(phase, seen, sent);
    return sent;
}

std::string flood_address(unsigned stream, unsigned n) {
    return "127." + std::to_string(1 + stream) + "." + std::to_string(n / 250 % 250) + "." +
           std::to_string(1 + n % 250);
}

void latency_phases(const fs::path& work, std::chrono::seconds length, const std::string& report) {
    fs::create_directories(work / "latency");
    const ServerChild server(work / "latency", {}, work / "latency.log");
    const int port = server.port();
    std::printf("/ip/ and /10mb.bin from another subscriber (%lld s each):\n", static_cast<long long>(length.count()));
    print("idle", probe(port, length), 0);
    const std::string form_cookie =
        set_cookie(send_to(port, form_request("GET", "/support/sign-in")), "lumresults_signin").value_or("");
    // A new name and address each time: no hold on either spares the server a password hash.
    const auto sign_in = [&](unsigned stream, unsigned n) {
        const std::string address = flood_address(stream, n);
        return form_request("POST", "/support/sign-in", "Cookie: lumresults_signin=" + form_cookie + "\r\n",
                            "user=someone-" + address + "&password=wrong&csrf=" + form_cookie + "&next=%2Fsupport%2F");
    };
    flood_while_probing(
        port, length,
        [&](unsigned stream, unsigned n) { exchange(port, sign_in(stream, n), 30s, false, flood_address(stream, n)); },
        "sign-in flood");
    const std::string upload = upload_request(program_upload_body(report));
    flood_while_probing(
        port, length,
        [&](unsigned stream, unsigned n) { exchange(port, upload, 30s, false, flood_address(stream + 100, n)); },
        "upload flood");
}

double peak_mib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:")) return static_cast<double>(std::stol(line.substr(6))) / 1024;
    throw std::runtime_error("no VmHWM for the server");
}

// Fills `size` bytes with `unit` repeated (cut at the end).
std::string filled(std::string_view unit, std::size_t size) {
    std::string bytes;
    bytes.reserve(size);
    while (bytes.size() < size)
        bytes.append(unit.substr(0, std::min(unit.size(), size - bytes.size())));
    return bytes;
}

std::uintmax_t folder_bytes(const fs::path& folder) {
    std::uintmax_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) total += entry.file_size();
    return total;
}

// One fresh server, `threads` uploads of `report` at once: its peak memory and its data folder's growth.
void cost_phase(const fs::path& work, const char* kind, const std::string& report, std::size_t max_upload) {
    const fs::path data = work / (std::string("cost-") + kind);
    fs::create_directories(data);
    const ServerChild server(data, {"--max-upload", std::to_string(max_upload)}, work / "cost.log");
    const double before = peak_mib(server.pid());
    const std::uintmax_t folder_before = folder_bytes(data);
    const std::string body = upload_request(program_upload_body(report));
    std::vector<std::thread> uploads;
    std::atomic<unsigned> stored{0};
    for (unsigned n = 0; n < SERVER_THREADS; ++n)
        uploads.emplace_back([&, n] {
            const auto answer = exchange(server.port(), body, 120s, false, "127.0.3." + std::to_string(n + 1));
            if (answer && acknowledged_id(*answer)) ++stored;
        });
    for (std::thread& upload : uploads)
        upload.join();
    const double grown = static_cast<double>(folder_bytes(data) - folder_before);
    std::printf("  %-24s peak %7.1f MiB (%.1f at start)   data folder +%7.1f MiB = %5.2f x the reports   "
                "%u of %u stored\n",
                kind, peak_mib(server.pid()), before, grown / 1048576,
                grown / static_cast<double>(stored.load() * report.size()), stored.load(), SERVER_THREADS);
}

void cost_phases(const fs::path& work, std::size_t max_upload, const std::string& report) {
    std::printf("peak memory and disk, %u uploads of %zu bytes at once:\n", SERVER_THREADS, max_upload);
    const std::size_t room = max_upload - program_upload_body("").size();
    cost_phase(work, "line feeds", filled("\n", room), max_upload);
    cost_phase(work, "one long line", filled("a", room), max_upload);
    const std::string head = "Lumora Network Test v1.4\r\n\r\n",
                      tail = "\r\n\r\n=== TEST START === 2014-03-09 08:05:07\r\n\r\n";
    cost_phase(work, "control-byte release", head + filled("\x01", room - head.size() - tail.size()) + tail,
               max_upload);
    cost_phase(work, "the passing report", filled(report, room), max_upload);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: hostile_bench SECONDS_PER_PHASE [MAX_UPLOAD_BYTES]\n");
        return 2;
    }
    const std::chrono::seconds length(std::stoi(argv[1]));
    const std::size_t max_upload = argc > 2 ? std::stoull(argv[2]) : 16 * 1024 * 1024;
    try {
        const lum::testing_support::ScratchFolder work("lumresults_hostile_bench_");
        const std::string report = lum::bench::passing_report(work.path());
        latency_phases(work.path(), length, report);
        lum::bench::sign_in_flood_phase(work.path(), length, report);
        cost_phases(work.path(), max_upload, report);
        lum::bench::report_page_phases(work.path(), max_upload, report);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "hostile_bench: %s\n", error.what());
        return 1;
    }
}
