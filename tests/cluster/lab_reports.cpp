// tests/cluster/lab_reports.cpp: the lab scenarios' expected reports, expanded by the lab's own reader of them.
#include "lab_reports.h"

#include <algorithm>
#include <stdexcept>

#include "scenario_files.h"

namespace lum::cluster {

namespace fs = std::filesystem;

namespace {

std::string with_crlf(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

} // namespace

std::vector<LabReport> lab_reports(const fs::path& scenarios, const fs::path& work) {
    std::vector<fs::path> folders;
    for (const auto& entry : fs::directory_iterator(scenarios))
        if (fs::exists(entry.path() / "report.txt")) folders.push_back(entry.path());
    // In name order, so that upload i carries the same report in every run.
    std::sort(folders.begin(), folders.end());
    std::vector<LabReport> reports;
    for (const fs::path& folder : folders) {
        const fs::path merged = work / folder.filename();
        fs::remove_all(merged);
        lab::merge_scenario(scenarios / "base", folder, merged);
        reports.push_back({folder.filename().string(), with_crlf(lab::expected_report(folder / "report.txt", merged))});
    }
    if (reports.empty()) throw std::runtime_error("no scenario with a report.txt in " + scenarios.string());
    return reports;
}

} // namespace lum::cluster
