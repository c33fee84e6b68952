// tests/lab/close_request_headless.cpp: queues a close request for the headless progress window.
#include "close_request.h"
#include "runtime/window/headless/driver.h"

namespace lum::lab {

void request_progress_window_close() { headless::request_close(0); }

} // namespace lum::lab
