// testrun/all_tests.cpp: the seven tests in the program's order, as the program and the lab run them.
#include "testrun/tests.h"

namespace lum {

void run_all_tests(RunState& state) {
    run_network_config_test(state);
    run_connection_test(state);
    run_dns_test(state);
    run_normal_ping_test(state);
    run_large_ping_test(state);
    run_download_test(state);
    run_multicast_test(state);
}

} // namespace lum
