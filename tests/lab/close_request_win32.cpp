// tests/lab/close_request_win32.cpp: posts a close request to the progress window, as its close box would.
#include <windows.h>

#include "close_request.h"

namespace lum::lab {

void request_progress_window_close() {
    HWND window = FindWindowA("WindowClass_0", nullptr);
    if (window != nullptr) PostMessageA(window, WM_CLOSE, 0, 0);
}

} // namespace lum::lab
