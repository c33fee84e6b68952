// server/reports/decoding/general_detector.h: the system's general-purpose charset detector, for when the tools'
// phrases and the letters leave candidates tied.
#pragma once

#include <optional>
#include <string_view>

namespace lum::reports {

// The Windows code page the detector names for `bytes`, if it names one it knows.
std::optional<int> detected_code_page(std::string_view bytes);

} // namespace lum::reports
