// tests/bench/lab_report.cpp: a scenario's expected report, written out as the program writes it.
#include "lab_report.h"

#include "scenario_files.h"

namespace lum::bench {

std::string scenario_report(const std::filesystem::path& work, const std::string& scenario) {
    const std::filesystem::path scenarios = LUM_LAB_SCENARIOS;
    lum::lab::merge_scenario(scenarios / "base", scenarios / scenario, work / scenario);
    std::string report;
    for (const std::string& line : lum::lab::expected_report(scenarios / scenario / "report.txt", work / scenario))
        report += line + "\r\n";
    return report;
}

std::string passing_report(const std::filesystem::path& work) { return scenario_report(work, "all-pass"); }

} // namespace lum::bench
