// tests/bench/lab_report.h: the lab's passing run as the program uploads it, for benchmarks that need a real report.
#pragma once

#include <filesystem>
#include <string>

namespace lum::bench {

// Merges the lab's passing scenario into `work` and gives its report, CR LF line ends and all.
std::string passing_report(const std::filesystem::path& work);

} // namespace lum::bench
