// runtime/time/date.cpp: date values built from local wall-clock fields, and their fields read back.
#include "runtime/time/time.h"

#include <cstdint>
#include <ctime>

#include "runtime/time/local_clock.h"

namespace lum {
namespace {

bool is_leap_year(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

// The checks run in this order on purpose: the range ones first, and the plain field ranges last.
bool fields_are_valid(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1970 || year > 2038) return false;
    // The last whole day that fits in a signed 32-bit count of seconds.
    if (year == 2038 && (month > 1 || day > 18)) return false;
    if (day == 31 && (month == 4 || month == 6 || month == 9 || month == 11)) return false;
    if (month == 2 && (day > 29 || (day == 29 && !is_leap_year(year)))) return false;
    if (second < 0 || second > 59 || minute < 0 || minute > 59 || hour < 0 || hour > 23) return false;
    return day >= 1 && day <= 31 && month >= 1 && month <= 12;
}

struct ZoneAtEpoch {
    int offset_seconds = 0;
    int daylight_flag = 0;
};

// The zone as it stood at the start of 1970. West of Greenwich the local date there is still
// 31 December 1969, so a late hour on the 31st is a negative offset.
ZoneAtEpoch zone_at_epoch() {
    const std::time_t zero = 0;
    const std::tm* local = std::localtime(&zero);
    ZoneAtEpoch zone;
    if (local == nullptr) return zone;
    int hour = local->tm_hour;
    if (hour > 11 && local->tm_mday == 31) hour -= 24;
    zone.offset_seconds = hour * 3600 + local->tm_min * 60;
    zone.daylight_flag = local->tm_isdst;
    return zone;
}

// Converting as local time and adding back the 1970 offset turns the wall-clock fields into a count that
// reads them back unchanged as UTC. Passing the 1970 daylight flag keeps summer time from shifting it.
DateValue local_fields_to_value(int year, int month, int day, int hour, int minute, int second) {
    const ZoneAtEpoch zone = zone_at_epoch();
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = zone.daylight_flag;
    const std::time_t converted = std::mktime(&fields);
    // No valid date after 1 January 1970 converts to -1, so -1 here is the conversion failing.
    if (converted == static_cast<std::time_t>(-1)) return NO_DATE;
    return static_cast<DateValue>(static_cast<std::int64_t>(converted) + zone.offset_seconds);
}

bool break_down(DateValue date, std::tm& fields) {
    // Some C libraries break negative times down, others refuse; a date value is never negative.
    if (date < 0) return false;
    const std::time_t seconds = date;
    const std::tm* utc = std::gmtime(&seconds);
    if (utc == nullptr) return false;
    fields = *utc;
    return true;
}

// One field of the UTC breakdown, shifted from the C library's counting (years from 1900, months
// from 0) to the calendar's; 0 when the value cannot be broken down.
int field_of(DateValue date, int std::tm::*field, int shift) {
    std::tm fields{};
    return break_down(date, fields) ? fields.*field + shift : 0;
}

} // namespace

DateValue make_date(int year, int month, int day, int hour, int minute, int second) {
    if (!fields_are_valid(year, month, day, hour, minute, second)) return NO_DATE;
    // At the very start of 1970 a zone east of Greenwich is still in 1969 in UTC, which some mktime
    // implementations refuse; on that day the value is plain arithmetic.
    if (year == 1970 && month == 1 && day == 1) return hour * 3600 + minute * 60 + second;
    return local_fields_to_value(year, month, day, hour, minute, second);
}

DateValue now_seconds() {
    const LocalClockFields now = read_local_clock();
    return make_date(now.year, now.month, now.day, now.hour, now.minute, now.second);
}

int date_year(DateValue date) { return field_of(date, &std::tm::tm_year, 1900); }
int date_month(DateValue date) { return field_of(date, &std::tm::tm_mon, 1); }
int date_day(DateValue date) { return field_of(date, &std::tm::tm_mday, 0); }
int date_hour(DateValue date) { return field_of(date, &std::tm::tm_hour, 0); }
int date_minute(DateValue date) { return field_of(date, &std::tm::tm_min, 0); }
int date_second(DateValue date) { return field_of(date, &std::tm::tm_sec, 0); }

} // namespace lum
