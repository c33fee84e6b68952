// testrun/progress_window.h: the progress window and its status rows, one per test.
#pragma once

#include <cstdint>
#include <string_view>

#include "rules/row_verdicts.h"
#include "testrun/run_state.h"

namespace lum {

inline constexpr std::int32_t PROGRESS_WINDOW = 0;
inline constexpr std::int32_t PROGRESS_FONT = 0;
inline constexpr std::int32_t ROW_X = 10;
inline constexpr std::int32_t ROW_WIDTH = 580;
inline constexpr std::int32_t ROW_HEIGHT = 40;

// Window 0, 600 x 270, centred, titled with the public address, with "Arial" 16 as the default font of
// every gadget made afterwards. False when the window cannot be opened.
bool open_progress_window(const RunState& state);

// The top of a test's row: rows are 30 pixels apart (and 40 high, so each overlaps the next by 10).
std::int32_t row_top(std::int32_t row);

// Row CurrentRow with the test's bare name: the test is running.
void show_row(const RunState& state);

// The three ends of a row: colour first, then the name and the verdict.
void set_row_passed(const RunState& state, std::string_view verdict = ROW_PASSED);
void set_row_failed(const RunState& state);
void set_row_skipped(const RunState& state);

} // namespace lum
