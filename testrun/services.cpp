// testrun/services.cpp: the runtime services' start-up and teardown order.
#include "testrun/services.h"

#include "runtime/files/files.h"
#include "runtime/net/net.h"

namespace lum {

// The text, file and date services need no start: their state is created on first use.
void start_runtime_services() {}

void stop_runtime_services() {
    close_all_files();
    network_stop();
}

} // namespace lum
