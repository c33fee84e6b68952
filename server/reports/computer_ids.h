// server/reports/computer_ids.h: what names the computer a report came from, whatever address it came from.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/reports/report_reading.h"

namespace lum::reports {

// A MAC address as the store keys it, "3C-52-82-4E-03-10", from any usual spelling ("3c:52:82:4e:03:10",
// "3c52.824e.0310", "3C5282 4E0310" without the blank); nothing for anything else, and for what names no one
// computer: the all-zero address, group addresses, and a tunnel's eight bytes.
std::optional<std::string> mac_key(std::string_view text);

// A host name as the store keys it: trimmed, ASCII letters in upper case (Windows' names ignore case). Empty
// for a name of no printable character.
std::string host_name_key(std::string_view name);

// The report's computer: its adapters' MACs (each once, in the report's order) and its host name.
struct ComputerIds {
    std::vector<std::string> macs;
    std::string host_name;
};
ComputerIds computer_ids(const ReadReport& report);

} // namespace lum::reports
