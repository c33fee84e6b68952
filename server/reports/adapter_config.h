// server/reports/adapter_config.h: the subscriber's adapters from the ipconfig /all lines of a report.
#pragma once

#include <vector>

#include "server/reports/report_reading.h"
#include "server/reports/test_verdicts.h"

namespace lum::reports {

// Reads English labels ("IPv4 Address", "IP Address", "Physical Address", "Default Gateway", "DNS
// Servers"); a system in another language labels them in its own words, and its adapters come back
// without addresses. Only adapters with something found are kept.
std::vector<Adapter> read_adapters(ToolLines ipconfig);

} // namespace lum::reports
