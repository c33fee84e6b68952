// testrun/verdict_rules.h: the counts that decide the tests' verdicts, kept in one place so that the results
// server, reading a report back, decides exactly as the program did.
#pragma once

#include <cstdint>

namespace lum {

// Test 2: ping's own count of echoes; "-w 1" sets only how long each one waits.
inline constexpr std::int32_t CONNECTION_ECHOES_SENT = 4;

// Test 5: "-n 10".
inline constexpr std::int32_t LARGE_ECHOES_SENT = 10;

// Tests 2 and 5: one lost echo is tolerated; two are not.
inline constexpr std::int32_t LOST_ECHOES_ALLOWED = 1;

// Test 4: fping's lost probes that still pass.
inline constexpr std::int32_t PROBE_TIMEOUTS_ALLOWED = 3;

// Test 7: packets the multicast receiver must report for the stream to count as watchable.
inline constexpr std::int32_t PACKETS_NEEDED = 9;

} // namespace lum
