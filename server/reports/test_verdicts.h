// server/reports/test_verdicts.h: one test's verdict and figures from the tool lines of its report section,
// decided by the program's own per-line rules and counts.
#pragma once

#include "server/reports/report_lines.h"
#include "server/reports/report_reading.h"

namespace lum::reports {

// The tool lines of one section: every one non-empty, as the program logged them; read line by line, as
// often as a rule needs, and never held.
using ToolLines = LineRange;

// Each sets the reading's verdict (Ok or Failed), its derived flag and its figures.
void read_configuration(ToolLines ipconfig, TestReading& test); // Test 1
void read_connection(ToolLines ping, TestReading& test);        // Test 2
void read_lookups(ToolLines nslookup, TestReading& test);       // Test 3
void read_probes(ToolLines fping, TestReading& test);           // Test 4
void read_large_ping(ToolLines ping, TestReading& test);        // Test 5
void read_download(ToolLines download_log, TestReading& test);  // Test 6
void read_multicast(ToolLines receiver, TestReading& test);     // Test 7

} // namespace lum::reports
