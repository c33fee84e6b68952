// runtime/time/posix/local_clock.cpp: the local wall-clock fields from the system clock and the TZ rules.
#include "runtime/time/local_clock.h"

#include <ctime>
#include <time.h>

namespace lum {

LocalClockFields read_local_clock() {
    LocalClockFields fields;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    // localtime_r need not look at TZ by itself.
    tzset();
    if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &local) == nullptr) return fields;
    fields.year = local.tm_year + 1900;
    fields.month = local.tm_mon + 1;
    fields.day = local.tm_mday;
    fields.hour = local.tm_hour;
    fields.minute = local.tm_min;
    fields.second = local.tm_sec;
    return fields;
}

} // namespace lum
