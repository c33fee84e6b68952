// runtime/time/time.h: local wall-clock dates as 32-bit second counts, and their formatting.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lum {

// Seconds since 1970-01-01 00:00:00 of the local wall clock, read as if it were UTC; -1 means no valid date.
// Valid values run from 1970-01-01 00:00:00 to 2038-01-18 23:59:59.
using DateValue = std::int32_t;

inline constexpr DateValue NO_DATE = -1;

// The current local time; NO_DATE past the supported range.
DateValue now_seconds();

// The date of these local wall-clock fields, or NO_DATE when they are not a valid date in range.
DateValue make_date(int year, int month, int day, int hour, int minute, int second);

// Fields of a date value (year as 2014, month 1-12, ...); 0 for a value that cannot be broken down.
int date_year(DateValue date);
int date_month(DateValue date);
int date_day(DateValue date);
int date_hour(DateValue date);
int date_minute(DateValue date);
int date_second(DateValue date);

// The mask with %yyyy, %yy, %mm, %dd, %hh, %ii and %ss (any letter case) replaced by the date's fields.
std::string format_date(std::string_view mask, DateValue date);

} // namespace lum
