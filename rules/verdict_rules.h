// rules/verdict_rules.h: the counts and comparisons that decide the tests' verdicts, kept in one place so that
// the results server, reading a report back, decides exactly as the program did.
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

// The verdicts of the tests that count: the program's test units and the server's reading both ask these.
bool connection_passed(std::int32_t lost_echoes);     // Test 2
bool normal_ping_passed(std::int32_t lost_probes);    // Test 4
bool large_ping_passed(std::int32_t lost_echoes);     // Test 5
bool multicast_passed(std::int32_t packets_received); // Test 7

} // namespace lum
