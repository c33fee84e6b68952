// rules/row_verdicts.h: how a test's row ends: the verdict's text after the test's name, and its colour.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lum {

// Row text colours, as 0x00BBGGRR.
inline constexpr std::int32_t COLOR_PASSED = 0x008000;  // dark green
inline constexpr std::int32_t COLOR_FAILED = 0x000080;  // dark red
inline constexpr std::int32_t COLOR_SKIPPED = 0x800000; // dark blue

// What a row's text gets after the test's name, by its end.
inline constexpr std::string_view ROW_PASSED = " -- OK";
inline constexpr std::string_view ROW_FAILED = " -- Failed";
inline constexpr std::string_view ROW_SKIPPED = " -- Skip";

// The download test's passed row shows its rate after the verdict: " -- OK (1.23 MB/s) = 10Mbps ".
inline std::string download_row_verdict(std::string_view speed_text) {
    return std::string(ROW_PASSED) + " " + std::string(speed_text);
}

} // namespace lum
