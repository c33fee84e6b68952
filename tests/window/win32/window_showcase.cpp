// tests/window/win32/window_showcase.cpp: the progress window as a finished run leaves it, held up for a screenshot.
// In its working folder it writes "showcase-ready.txt" once everything is painted: the client area's
// origin on the screen and the 3D-face colour as #RRGGBB. It then keeps the window painted until
// "showcase-done.txt" appears there, or a minute has passed.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "runtime/window/inspect.h"
#include "runtime/window/window.h"
#include "testrun/progress_window.h"
#include "testrun/run_state.h"

namespace lum {
namespace {

void fill_rows(RunState& state) {
    for (state.CurrentRow = 1; state.CurrentRow <= TEST_COUNT; ++state.CurrentRow) {
        show_row(state);
        switch (state.CurrentRow) {
        case 5: set_row_failed(state); break;
        case 6: set_row_passed(state, " -- OK 94.21 Mbps"); break;
        case 7: set_row_skipped(state); break;
        default: set_row_passed(state); break;
        }
    }
    create_button_gadget(8, 80, 225, 110, 30, "View Log");
    create_button_gadget(9, 200, 225, 130, 30, "Speed Test");
}

void write_ready_file() {
    const Rect client = window_client_area(PROGRESS_WINDOW);
    const COLORREF face = GetSysColor(COLOR_3DFACE);
    char colour[8];
    std::snprintf(colour, sizeof(colour), "#%02X%02X%02X", GetRValue(face), GetGValue(face), GetBValue(face));
    std::ofstream("showcase-ready.tmp") << client.x << ' ' << client.y << ' ' << colour << '\n';
    // Renamed into place, so that the script never reads a half-written file.
    std::filesystem::rename("showcase-ready.tmp", "showcase-ready.txt");
}

void hold_until_done() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!std::filesystem::exists("showcase-done.txt") && std::chrono::steady_clock::now() < deadline)
        wait_event(100);
}

} // namespace
} // namespace lum

int main() {
    using namespace lum;
    window_layer_start();
    RunState state = make_run_state();
    state.PublicIp = "100.102.3.4";
    if (!open_progress_window(state)) return 1;
    fill_rows(state);
    for (int taken = 0; wait_event(0) != 0 && taken < 10000; ++taken) {
    }
    write_ready_file();
    hold_until_done();
    free_all_fonts();
    close_all_windows();
    return 0;
}
