// tests/bench/overview_bench.cpp: how long the operator's overview takes over a month of many readings, on SQLite or
// PostgreSQL.
//
//   overview_bench READINGS FOLDER [POSTGRES_URL]
//
// Fills a new store (the SQLite store in FOLDER, or the empty database at POSTGRES_URL) with READINGS reports
// over 30 days from 2,000 IPv4 /24s, each kept with a reading as an upload keeps it (the lab's passing run's,
// and its DNS-failed run's for 3 % of them; the stored bytes are a stand-in, so that a million of them fit in
// memory), then builds the overview of the last 24 hours, 7 days and 30 days, for the network and for one
// customer block, several times each, and prints the medians. Last, it keeps more readings in the last hour,
// in turns with and without the counts' statements, and prints both rates: what counting costs an upload.
// Keep FOLDER and the PostgreSQL server's data on a memory file system; build it without sanitizers
// (linux-release). scripts/bench-overview runs it on both.
#include "server/dashboard/overview.h"
#include "server/reports/reading_record.h"
#include "server/reports/report_reading.h"
#include "server/store/store.h"

#include "lab_report.h"
#include "without_counts.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using lumresults::Clock;

constexpr int fill_threads = 8;
constexpr int samples = 5;
constexpr int blocks = 2000;
constexpr int rate_readings = 10'000; // in each turn of the rates with and without counting
constexpr int rate_turns = 2;

lumresults::ReportReading reading_of(const std::string& bytes) {
    return lumresults::reading_record(lum::reports::read_report(bytes, "100.102.3.4"));
}

struct Readings {
    fs::path content;
    lumresults::ReportReading passed;
    lumresults::ReportReading failed;
};

// Keeps `count` reports received from `from` to `to`, each with its reading; returns the rate.
double fill(lumresults::Store& store, const Readings& readings, Clock::time_point from, Clock::time_point to,
            int count) {
    std::atomic<int> next{0};
    const auto span = duration_cast<milliseconds>(to - from);
    const auto begin = steady_clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < fill_threads; ++t) {
        workers.emplace_back([&, t] {
            std::mt19937 random(static_cast<unsigned>(t));
            for (int i = next++; i < count; i = next++) {
                const int block = static_cast<int>(random() % blocks);
                const std::string caller = "100." + std::to_string(100 + block / 250) + "." +
                                           std::to_string(block % 250) + "." + std::to_string(2 + random() % 250);
                const Clock::time_point received = from + span * i / count;
                const lumresults::NewReport report{
                    caller, received, "lumtest.log", "text/plain", 6, std::string(64, '0'), readings.content};
                store.put_reading(store.put_report(report), random() % 100 < 3 ? readings.failed : readings.passed);
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    return count / duration<double>(steady_clock::now() - begin).count();
}

// The upload's rate with the counts and without, in turns on the filled store (one store open at a time).
void time_counting(const lumresults::StoreLocation& location, const Readings& readings, Clock::time_point end,
                   int count) {
    std::vector<double> with;
    std::vector<double> without;
    for (int turn = 0; turn < rate_turns; ++turn) {
        with.push_back(fill(*lumresults::open_store(location), readings, end - hours{1}, end, count));
        without.push_back(fill(*lum::bench::open_store_without_counts(location), readings, end - hours{1}, end, count));
    }
    const auto mean = [](const std::vector<double>& rates) {
        double sum = 0;
        for (const double rate : rates)
            sum += rate;
        return sum / static_cast<double>(rates.size());
    };
    std::printf("  upload rate, %d turns of %d readings: %.0f a second with the counts, %.0f without (%+.1f %%)\n",
                rate_turns, count, mean(with), mean(without), (mean(with) / mean(without) - 1) * 100);
}

void time_overview(lumresults::Store& store, const char* what, Clock::time_point end, hours window,
                   const std::string& block) {
    lumresults::dashboard::OverviewQuery query;
    query.to = end;
    query.from = end - window;
    query.bucket = window <= hours{72} ? lumresults::dashboard::Bucket::hour : lumresults::dashboard::Bucket::day;
    query.block = block;
    query.block_key = block;
    std::vector<double> times;
    std::int64_t counted = 0;
    for (int i = 0; i < samples; ++i) {
        const auto begin = steady_clock::now();
        const lumresults::dashboard::Overview overview = lumresults::dashboard::make_overview(store, query);
        times.push_back(duration<double, std::milli>(steady_clock::now() - begin).count());
        counted = 0;
        for (const auto& bucket : overview.buckets)
            counted += bucket.finished + bucket.cut_short;
    }
    std::sort(times.begin(), times.end());
    std::printf("  %-34s %8lld readings  %9.2f ms (median of %d)\n", what, static_cast<long long>(counted),
                times[times.size() / 2], samples);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: overview_bench READINGS FOLDER [POSTGRES_URL]\n");
        return 2;
    }
    const int count = std::atoi(argv[1]);
    const fs::path work = argv[2];
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string bytes = lum::bench::passing_report(work);
    const std::string failing = lum::bench::scenario_report(work, "dns-failed");
    std::ofstream(work / "stand-in", std::ios::binary) << "report";
    const Readings readings{work / "stand-in", reading_of(bytes), reading_of(failing)};
    const lumresults::StoreLocation location{work / "data", argc > 3 ? argv[3] : ""};
    const Clock::time_point end = ceil<hours>(Clock::now());
    {
        const auto store = lumresults::open_store(location);
        const double rate = fill(*store, readings, end - days{30}, end, count);
        std::printf("%s: %d readings kept at %.0f a second (from %d threads)\n", argc > 3 ? "PostgreSQL" : "SQLite",
                    count, rate, fill_threads);
        for (const char* block : {"", "100.101.0.0/16"}) {
            const std::string scope = *block == '\0' ? "network" : std::string("block ") + block;
            time_overview(*store, ("24 hours, " + scope).c_str(), end, hours{24}, block);
            time_overview(*store, ("7 days, " + scope).c_str(), end, days{7}, block);
            time_overview(*store, ("30 days, " + scope).c_str(), end, days{30}, block);
        }
    }
    time_counting(location, readings, end, std::min(count, rate_readings));
    fs::remove_all(work);
    return 0;
}
