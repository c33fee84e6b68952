// tests/cluster/lab_reports.h: the reports the program writes in the lab's scenarios, as bytes, to upload.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lum::cluster {

struct LabReport {
    std::string scenario;
    std::string bytes; // every line ending in CR LF, as the program writes its report
};

// Each scenario under `scenarios` that expects a report (its report.txt), expanded over the base
// scenario's recordings as the lab's scenario tests expect it. `work` is a scratch folder for the merge.
std::vector<LabReport> lab_reports(const std::filesystem::path& scenarios, const std::filesystem::path& work);

} // namespace lum::cluster
