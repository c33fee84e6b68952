// runtime/time/win32/local_clock.cpp: the local wall-clock fields from the system clock.
#include "runtime/time/local_clock.h"

#include <windows.h>

namespace lum {

// The zone the user set in Windows, not a TZ variable that the C library might read.
LocalClockFields read_local_clock() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    LocalClockFields fields;
    fields.year = now.wYear;
    fields.month = now.wMonth;
    fields.day = now.wDay;
    fields.hour = now.wHour;
    fields.minute = now.wMinute;
    fields.second = now.wSecond;
    return fields;
}

} // namespace lum
