// testrun/services.cpp: the runtime services' start-up and teardown order.
#include "testrun/services.h"

#include "runtime/files/files.h"
#include "runtime/net/net.h"
#include "runtime/system/library_search.h"
#include "runtime/window/window.h"

namespace lum {

// The library search is narrowed before anything loads a library by name (common controls, COM and
// what they pull in). The text, file, date and runner services need no start: their state is made on
// first use.
void start_runtime_services() {
    restrict_library_search();
    window_layer_start();
}

// Fonts go before the files are written out and the windows closed, as the shutdown order has it.
void stop_runtime_services() {
    free_all_fonts();
    close_all_files();
    close_all_windows();
    network_stop();
}

} // namespace lum
