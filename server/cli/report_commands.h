// server/cli/report_commands.h: `lumresults reports` and `lumresults report`: what the store holds, read
// beside a running server.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "server/store/store.h"

namespace lumresults {

struct ListingOptions {
    StoreLocation store;
    std::optional<std::string> caller; // as format_address() writes it
    std::optional<std::string> since;  // YYYY-MM-DD, UTC
    bool json = false;
};

// Lists the reports, newest first; 0, or 1 with the reason on standard error.
int list_reports(const ListingOptions& options);

// Writes one report's stored bytes to standard output exactly; 1 when there is no such report.
int write_report(const StoreLocation& store, std::int64_t id);

// Reads again every stored report without a reading under this build's rules (after an upgrade);
// prints how many.
int read_reports_again(const StoreLocation& store);

} // namespace lumresults
