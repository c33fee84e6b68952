// server/report_commands.h: `lumresults reports` and `lumresults report`: what the store holds, read
// beside a running server.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace lumresults {

struct ListingOptions {
    std::filesystem::path data_dir;
    std::optional<std::string> caller; // as format_address() writes it
    std::optional<std::string> since;  // YYYY-MM-DD, UTC
    bool json = false;
};

// Lists the reports, newest first; 0, or 1 with the reason on standard error.
int list_reports(const ListingOptions& options);

// Writes one report's stored bytes to standard output exactly; 1 when there is no such report.
int write_report(const std::filesystem::path& data_dir, std::int64_t id);

// Reads again every stored report without a reading under this build's rules (after an upgrade);
// prints how many.
int read_reports_again(const std::filesystem::path& data_dir);

} // namespace lumresults
