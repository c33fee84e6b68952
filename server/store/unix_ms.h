// server/store/unix_ms.h: how every store keeps a time: Unix milliseconds (UTC), by the server's clock.
#pragma once

#include <chrono>
#include <cstdint>

namespace lumresults {

inline std::int64_t to_unix_ms(std::chrono::system_clock::time_point time) {
    return std::chrono::floor<std::chrono::milliseconds>(time.time_since_epoch()).count();
}

inline std::chrono::system_clock::time_point from_unix_ms(std::int64_t ms) {
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::milliseconds(ms)));
}

} // namespace lumresults
