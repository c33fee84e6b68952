// testrun/progress_window.cpp: opens the progress window and turns its rows green, red or blue.
#include "testrun/progress_window.h"

#include <string>

#include "runtime/window/window.h"
#include "rules/operator.h"

namespace lum {
namespace {

constexpr std::int32_t WINDOW_WIDTH = 600;
constexpr std::int32_t WINDOW_HEIGHT = 270;
constexpr std::uint32_t PROGRESS_WINDOW_FLAGS = WINDOW_CAPTION | WINDOW_SYSTEM_MENU | WINDOW_SCREEN_CENTERED;

void end_row(const RunState& state, std::int32_t color, std::string_view verdict) {
    set_gadget_color(state.CurrentRow, GADGET_COLOR_FRONT, color);
    set_gadget_text(state.CurrentRow,
                    state.TestNames[static_cast<std::size_t>(state.CurrentRow)] + std::string(verdict));
}

} // namespace

bool open_progress_window(const RunState& state) {
    const std::string title = std::string(PROGRAM_TITLE) + " Your IP Address " + state.PublicIp;
    if (open_window(PROGRESS_WINDOW, 0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, title, PROGRESS_WINDOW_FLAGS) == 0) {
        return false;
    }
    if (load_font(PROGRESS_FONT, "Arial", 16) != 0) set_gadget_font(DEFAULT_VALUE, font_handle(PROGRESS_FONT));
    return true;
}

std::int32_t row_top(std::int32_t row) { return 30 * row - 20; }

// Every row is as wide as the download test's, so that the longest name with " -- Failed" fits on one
// line at 16 points; at 490 pixels the verdict wrapped under the next row's box.
void show_row(const RunState& state) {
    create_text_gadget(state.CurrentRow, ROW_X, row_top(state.CurrentRow), ROW_WIDTH, ROW_HEIGHT,
                       state.TestNames[static_cast<std::size_t>(state.CurrentRow)]);
}

void set_row_passed(const RunState& state, std::string_view verdict) { end_row(state, COLOR_PASSED, verdict); }
void set_row_failed(const RunState& state) { end_row(state, COLOR_FAILED, ROW_FAILED); }
void set_row_skipped(const RunState& state) { end_row(state, COLOR_SKIPPED, ROW_SKIPPED); }

} // namespace lum
