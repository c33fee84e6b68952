// tests/bench/runner_bench.cpp: how fast the runner reads a tool's output, against the same output piped into cat.
//
//   runner_bench [megabytes] [write block]   (defaults 100 and 65536)
//
// The test child writes the given amount as 80-byte lines, in writes of the given size (65536 is a
// pipe's whole buffer; a tool's buffered standard output writes 4096 or 8192). The runner reads them with the run's own
// pattern (launch with 14, read while pending, release); the baseline is the child piped into
// `cat >/dev/null`. Each is run three times and the best time counts. Build it without sanitizers
// (the linux-release preset) for figures worth comparing.
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "runtime/process/process.h"

namespace {

constexpr long LINE_BYTES = 80;

std::string own_folder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    const std::string self(path, length > 0 ? static_cast<std::size_t>(length) : 0);
    return self.substr(0, self.rfind('/') + 1);
}

template <class Run> double best_seconds(Run run) {
    double best = 1e30;
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (took.count() < best) best = took.count();
    }
    return best;
}

long long read_through_runner(const std::string& child, const std::string& parameters) {
    const std::intptr_t handle = lum::launch_program(child, parameters, "", lum::Hide | lum::Open | lum::Read);
    long long bytes = 0;
    while (lum::program_pending(handle)) {
        const std::string line = lum::read_program_line(handle);
        if (!line.empty()) bytes += static_cast<long long>(line.size()) + 1;
    }
    lum::release_program(handle);
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    const long megabytes = argc > 1 ? std::atol(argv[1]) : 100;
    const long block = argc > 2 ? std::atol(argv[2]) : 65536;
    const long lines = megabytes * 1024 * 1024 / LINE_BYTES;
    const std::string child = own_folder() + "runner_child";
    const std::string parameters =
        "lines " + std::to_string(lines) + " " + std::to_string(LINE_BYTES) + " " + std::to_string(block);
    long long bytes = 0;
    const double runner = best_seconds([&] { bytes = read_through_runner(child, parameters); });
    const std::string piped = "'" + child + "' " + parameters + " | cat >/dev/null";
    const double cat = best_seconds([&] {
        if (std::system(piped.c_str()) != 0) std::fprintf(stderr, "runner_bench: the cat baseline failed\n");
    });
    std::printf(
        "%ld MB in %ld lines of %ld bytes, written %ld bytes at a time: runner %.3f s, cat %.3f s, ratio %.2f\n",
        megabytes, lines, LINE_BYTES, block, runner, cat, runner / cat);
    if (bytes != static_cast<long long>(lines) * LINE_BYTES) {
        std::fprintf(stderr, "runner_bench: read %lld bytes, expected %lld\n", bytes,
                     static_cast<long long>(lines) * LINE_BYTES);
        return 1;
    }
    return 0;
}
