// testrun/tests.h: the seven tests, run one after the other; each leaves its row and its section of the report.
#pragma once

#include <cstdint>

#include "testrun/run_state.h"

namespace lum {

void run_network_config_test(RunState& state); // Test 1
void run_connection_test(RunState& state);     // Test 2
void run_dns_test(RunState& state);            // Test 3
void run_normal_ping_test(RunState& state);    // Test 4
void run_large_ping_test(RunState& state);     // Test 5
void run_download_test(RunState& state);       // Test 6
void run_multicast_test(RunState& state);      // Test 7

void run_all_tests(RunState& state);

} // namespace lum
