// testrun/startup_check.cpp: refuses to run without a working connection, before anything is written.
#include "testrun/startup_check.h"

namespace lum {

// PENDING: the connectivity and customer check come with the ICMP echo and the HTTP header fetch.
// Until then every run goes on to the tests, with an empty public address in the window's title.
bool passes_startup_check(RunState&) { return true; }

} // namespace lum
