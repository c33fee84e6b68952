// runtime/time/local_clock.h: the local wall-clock fields, read by the platform backend.
#pragma once

namespace lum {

struct LocalClockFields {
    int year = 0; // 0 when the clock could not be read, which no date accepts
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The local time of day now, to the second.
LocalClockFields read_local_clock();

} // namespace lum
