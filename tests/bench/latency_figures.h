// tests/bench/latency_figures.h: the benchmarks' figures from timed samples: percentiles and elapsed milliseconds.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace lum::bench {

// The value below which `share` of `values` lie (0 for none).
inline double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(share * static_cast<double>(values.size())))];
}

inline double ms_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace lum::bench
