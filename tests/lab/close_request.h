// tests/lab/close_request.h: the user closing the progress window, as the closing screen will see it.
#pragma once

namespace lum::lab {

// Asks window 0 to close; the closing screen's next wait_event sees the request.
void request_progress_window_close();

} // namespace lum::lab
