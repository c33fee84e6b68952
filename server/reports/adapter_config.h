// server/reports/adapter_config.h: the subscriber's adapters from the ipconfig /all lines of a report.
#pragma once

#include <vector>

#include "server/reports/report_reading.h"
#include "server/reports/test_verdicts.h"

namespace lum::reports {

// Reads the lines as UTF-8 (a localized ipconfig's, decoded), with the labels of every language the phrase
// table knows ("IPv4 Address", "IPv4-Adresse", "Физический адрес", ...); a label it does not know is left
// aside. Only adapters with something found are kept.
std::vector<Adapter> read_adapters(ToolLines ipconfig);

} // namespace lum::reports
