// tests/bench/store_bench.cpp: durable report puts per second into the SQLite store, from many threads at once.
//
//   store_bench [puts per thread] [threads] [bytes per report]   (defaults 1000, 16 and 20000)
//
// Each thread puts its own content file again and again, as the upload's worker threads do with theirs;
// every put returns only once its report is on stable storage, so the figure is bound by the disk's syncs
// (count them with `strace -c -f -e trace=fdatasync,fsync`). The database lives beside the binary, on the
// build's disk rather than in a memory file system, so that the syncs cost what they cost. Build it
// without sanitizers (the linux-release preset) for figures worth comparing.
#include "server/store/store.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::filesystem::path own_folder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return std::filesystem::path(std::string(path, length > 0 ? static_cast<std::size_t>(length) : 0)).parent_path();
}

// A content file of random bytes (a report's lines compress, but the store never looks at them).
lumresults::NewReport make_report(const std::filesystem::path& file, std::size_t bytes, unsigned seed) {
    std::string content(bytes, '\0');
    std::mt19937 random(seed);
    for (char& c : content)
        c = static_cast<char>(random());
    std::ofstream(file, std::ios::binary) << content;
    return {"192.0.2.1", lumresults::Clock::now(), "lumtest.log", "text/plain", bytes, std::string(64, '0'), file};
}

} // namespace

int main(int argc, char** argv) {
    const int puts = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int threads = argc > 2 ? std::atoi(argv[2]) : 16;
    const auto bytes = static_cast<std::size_t>(argc > 3 ? std::atol(argv[3]) : 20000);
    const std::filesystem::path work = own_folder() / "store-bench";
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    std::vector<lumresults::NewReport> reports;
    for (int t = 0; t < threads; ++t)
        reports.push_back(make_report(work / ("content-" + std::to_string(t)), bytes, static_cast<unsigned>(t)));
    const auto store = lumresults::open_sqlite_store(work / "data");

    std::vector<int> failures(static_cast<std::size_t>(threads));
    std::vector<std::thread> workers;
    const auto start = std::chrono::steady_clock::now();
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            const auto mine = static_cast<std::size_t>(t);
            for (int i = 0; i < puts; ++i) {
                try {
                    store->put_report(reports[mine]);
                } catch (const lumresults::StoreError& error) {
                    if (failures[mine]++ == 0) std::fprintf(stderr, "store_bench: %s\n", error.what());
                }
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

    const long total = static_cast<long>(threads) * puts;
    std::printf("%d threads x %d puts of %zu bytes: %.2f s, %.0f puts/s\n", threads, puts, bytes, took.count(),
                static_cast<double>(total) / took.count());
    lumresults::ReportFilter everything;
    everything.limit = static_cast<std::size_t>(total) + 1;
    const std::size_t stored = store->list_reports(everything).size();
    std::filesystem::remove_all(work);
    if (stored != static_cast<std::size_t>(total)) {
        std::fprintf(stderr, "store_bench: %zu reports stored, expected %ld\n", stored, total);
        return 1;
    }
    return 0;
}
