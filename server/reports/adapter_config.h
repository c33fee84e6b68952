// server/reports/adapter_config.h: the subscriber's adapters from the ipconfig /all lines of a report.
#pragma once

#include <string>
#include <vector>

#include "server/reports/report_reading.h"
#include "server/reports/test_verdicts.h"

namespace lum::reports {

// Reads the lines as UTF-8 (a localized ipconfig's, decoded), with the labels of every language the phrase
// table knows ("IPv4 Address", "IPv4-Adresse", "Физический адрес", ...); a label it does not know is left
// aside. Only adapters with something found are kept.
std::vector<Adapter> read_adapters(ToolLines ipconfig);

// The computer's name: the first setting ipconfig /all prints, before any adapter, found by its place where
// its label is not known ("Host Name", "Имя компьютера", ...). Empty when the lines do not hold it.
std::string read_host_name(ToolLines ipconfig);

} // namespace lum::reports
