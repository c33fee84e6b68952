// tests/bench/lab_report.h: the lab's runs as the program uploads them, for benchmarks that need real reports.
#pragma once

#include <filesystem>
#include <string>

namespace lum::bench {

// Merges the lab's scenario (tests/lab/scenarios/NAME) into `work` and gives its report, CR LF line ends and all.
std::string scenario_report(const std::filesystem::path& work, const std::string& scenario);

// The passing scenario's ("all-pass").
std::string passing_report(const std::filesystem::path& work);

} // namespace lum::bench
