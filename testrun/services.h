// testrun/services.h: starting the runtime services in their order, and the one ending of every run.
#pragma once

namespace lum {

void start_runtime_services();

// Releases what the services still hold, in the order the shutdown requires: fonts, files (written out
// completely), windows, the network service.
void stop_runtime_services();

} // namespace lum
