// server/reports/ping_statistics.h: the statistics Windows' ping prints at its end, in any display language.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lum::reports {

struct PingStatistics {
    std::int32_t sent = 0;
    std::int32_t received = 0;
    std::int32_t lost = 0;
    std::optional<std::int32_t> minimum_ms; // the round trips, when any reply came
    std::optional<std::int32_t> maximum_ms;
    std::optional<std::int32_t> average_ms;
};

// Every language prints the same figures in the same order, each after an "=": the packets (sent, received,
// lost), then the round trips (minimum, maximum, average), however their labels read and wherever the lines
// break. The reply lines, which hold "=" too, all hold "TTL=" and are left aside. Nothing when ping printed
// no statistics (it was cut short). `lines` is ping's output, decoded.
std::optional<PingStatistics> ping_statistics(std::string_view lines);

} // namespace lum::reports
