// tests/bench/search_bench.cpp: how long the reports API's page of 1,000 rows (and the dashboard's of 50) takes
// over a store of many read reports, on SQLite or PostgreSQL.
//
//   search_bench REPORTS FOLDER [POSTGRES_URL]
//
// Fills a new store (the SQLite store in FOLDER, or the database at POSTGRES_URL, which must be empty) with
// REPORTS copies of the lab's passing report, from many callers, each read as an upload reads it; then asks
// for the newest page of 1,000 and of 50 rows, as the API and the search page do, and for a page of one
// caller's reports, several times each, and prints the median. Keep FOLDER on a memory file system (and the
// PostgreSQL server's data too) when the fill's syncs are not what is measured. Build it without sanitizers
// (the linux-release preset); scripts/bench-search runs it on both back ends.
#include "server/dashboard/search_results.h"
#include "server/reports/reading_record.h"
#include "server/store/store.h"

#include "lab_report.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using lumresults::Clock;

constexpr int fill_threads = 8;
constexpr int samples = 7;

// Puts `count` reports from 250 callers in 100.100.0.0/16, a minute apart, and reads each.
void fill(lumresults::Store& store, const fs::path& content, std::size_t size, int count) {
    std::atomic<int> next{0};
    const Clock::time_point start = Clock::now() - std::chrono::minutes(count);
    std::vector<std::thread> workers;
    for (int t = 0; t < fill_threads; ++t) {
        workers.emplace_back([&] {
            for (int i = next++; i < count; i = next++) {
                const std::string caller = "100.100." + std::to_string(i % 250) + "." + std::to_string(1 + i % 7);
                const lumresults::NewReport report{
                    caller, start + std::chrono::minutes(i), "lumtest.txt", "text/plain", size, std::string(64, '0'),
                    content};
                lumresults::read_stored_report(store, store.put_report(report));
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
}

// The median time of a search, in milliseconds, and the rows it found.
std::pair<double, std::size_t> median_ms(lumresults::Store& store, const lumresults::ReportSearch& search) {
    std::vector<double> times;
    std::size_t rows = 0;
    for (int i = 0; i < samples; ++i) {
        const auto begin = std::chrono::steady_clock::now();
        rows = lumresults::dashboard::find_reports(store, search).reports.size();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], rows};
}

void report(lumresults::Store& store, const char* what, const lumresults::ReportSearch& search) {
    const auto [ms, rows] = median_ms(store, search);
    std::printf("  %-40s %5zu rows  %9.2f ms (median of %d)\n", what, rows, ms, samples);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: search_bench REPORTS FOLDER [POSTGRES_URL]\n");
        return 2;
    }
    const int count = std::atoi(argv[1]);
    const fs::path work = argv[2];
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string bytes = lum::bench::passing_report(work);
    std::ofstream(work / "report.txt", std::ios::binary) << bytes;
    const lumresults::StoreLocation location{work / "data", argc > 3 ? argv[3] : ""};
    const auto store = lumresults::open_store(location);

    const auto begin = std::chrono::steady_clock::now();
    fill(*store, work / "report.txt", bytes.size(), count);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
    std::printf("%s: %d reports of %zu bytes put and read in %.1f s\n", argc > 3 ? "PostgreSQL" : "SQLite", count,
                bytes.size(), took.count());

    lumresults::ReportSearch api_page;
    api_page.limit = 1000;
    report(*store, "newest page of 1000 (the API's)", api_page);
    lumresults::ReportSearch search_page;
    report(*store, "newest page of 50 (the search page's)", search_page);
    lumresults::ReportSearch prefix_page;
    prefix_page.limit = 1000;
    prefix_page.caller = "100.100.1";
    prefix_page.caller_prefix = true;
    report(*store, "one address prefix's page of 1000", prefix_page);
    fs::remove_all(work);
    return 0;
}
