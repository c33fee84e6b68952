// server/web/utc_time.cpp: civil UTC from the clock, without the C library's time zone state.
#include "server/web/utc_time.h"

#include <chrono>
#include <cstdio>

namespace lumresults {
namespace {

std::string formatted(Clock::time_point time, const char* pattern) {
    using namespace std::chrono;
    const sys_seconds seconds = floor<std::chrono::seconds>(time);
    const sys_days day = floor<days>(seconds);
    const year_month_day date{day};
    const hh_mm_ss clock{seconds - day};
    char text[40];
    std::snprintf(text, sizeof text, pattern, static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count()));
    return text;
}

} // namespace

std::string utc_time_text(Clock::time_point time) { return formatted(time, "%04d-%02u-%02u %02d:%02d:%02d"); }

std::string utc_time_iso(Clock::time_point time) { return formatted(time, "%04d-%02u-%02uT%02d:%02d:%02dZ"); }

} // namespace lumresults
