// rules/report_stamps.h: the report's fixed lines, which a reader of the report finds its way by.
#pragma once

#include <string_view>

namespace lum {

// The fixed lines that open and close the report and head Test 1's dumps; each stamp is followed by the time.
inline constexpr std::string_view REPORT_START_STAMP = "=== TEST START === ";
inline constexpr std::string_view REPORT_END_STAMP = "=== TEST END === ";
inline constexpr std::string_view ROUTE_HEADING = "route print";
inline constexpr std::string_view NETSTAT_HEADING = "netstat -abn";
inline constexpr std::string_view HOSTS_HEADING = "hosts";

} // namespace lum
