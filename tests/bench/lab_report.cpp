// tests/bench/lab_report.cpp: the passing scenario's expected report, written out as the program writes it.
#include "lab_report.h"

#include "scenario_files.h"

namespace lum::bench {

std::string passing_report(const std::filesystem::path& work) {
    const std::filesystem::path scenarios = LUM_LAB_SCENARIOS;
    lum::lab::merge_scenario(scenarios / "base", scenarios / "all-pass", work / "all-pass");
    std::string report;
    for (const std::string& line : lum::lab::expected_report(scenarios / "all-pass" / "report.txt", work / "all-pass"))
        report += line + "\r\n";
    return report;
}

} // namespace lum::bench
