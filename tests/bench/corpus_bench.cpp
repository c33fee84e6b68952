// tests/bench/corpus_bench.cpp: how often the reading finds each section's code page in the localized corpus, per
// language, and how long reading a report takes.
//
//   corpus_bench [ROUNDS]   (default 200)
//
// Makes every corpus folder into a report (as the corpus test does), reads each ROUNDS times, and prints a
// table: per language the sections whose code page was found right, and the median time to read one report
// (its verdicts, sections and code pages). Figures only: it fails only when something cannot run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "corpus_reports.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

double median_us(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::stoi(argv[1]) : 200;
    const lum::testing_support::ScratchFolder work("lumresults_corpus_bench_");
    const std::vector<lum::corpus::CorpusReport> reports =
        lum::corpus::corpus_reports(LUM_CORPUS, LUM_LAB_SCENARIOS, work.path());
    std::printf("%-22s %9s %8s %14s %12s\n", "language", "sections", "right", "share right", "read (us)");
    std::size_t all = 0, right = 0;
    for (const lum::corpus::CorpusReport& report : reports) {
        std::vector<double> times;
        lum::reports::ReadReport read;
        for (int round = 0; round < rounds; ++round) {
            const auto start = Clock::now();
            read = lum::reports::read_report(report.bytes, "100.102.3.4");
            times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        const std::vector<lum::corpus::SectionResult> results = lum::corpus::section_results(report, read);
        const auto good = static_cast<std::size_t>(
            std::count_if(results.begin(), results.end(), [](const auto& result) { return result.right; }));
        all += results.size();
        right += good;
        std::printf("%-22s %9zu %8zu %13.0f%% %12.0f\n", report.language.c_str(), results.size(), good,
                    100.0 * static_cast<double>(good) / static_cast<double>(std::max<std::size_t>(1, results.size())),
                    median_us(times));
        for (const auto& result : results)
            if (!result.right)
                std::printf("    %s: expected %d, found %d\n", result.file.c_str(), result.expected, result.found);
    }
    std::printf("%-22s %9zu %8zu %13.0f%%\n", "all", all, right,
                100.0 * static_cast<double>(right) / static_cast<double>(std::max<std::size_t>(1, all)));
    return 0;
}
