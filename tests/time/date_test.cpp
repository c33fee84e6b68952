// tests/time/date_test.cpp: date values in several time zones, their fields, and the "%" formatter.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

#include "runtime/time/time.h"

namespace lum {
namespace {

struct Fields {
    int year, month, day, hour, minute, second;
};

DateValue make(const Fields& f) { return make_date(f.year, f.month, f.day, f.hour, f.minute, f.second); }

// Switches the C library's zone for one test. glibc keeps the string it is given, so only literals and
// the saved value (kept for the whole run) are ever passed to putenv.
class ZoneSwitch {
public:
    explicit ZoneSwitch(const char* assignment) {
        const char* old = std::getenv("TZ");
        had_zone_ = old != nullptr;
        if (had_zone_) saved() = std::string("TZ=") + old;
        putenv(const_cast<char*>(assignment));
        tzset();
    }
    ~ZoneSwitch() {
        if (had_zone_) {
            putenv(saved().data());
        } else {
            // "TZ=" removes the variable in the Windows C library but sets an empty zone in glibc;
            // "TZ" removes it in glibc and is refused by the Windows one. Together they unset it on both.
            putenv(const_cast<char*>("TZ="));
            putenv(const_cast<char*>("TZ"));
        }
        tzset();
    }
    ZoneSwitch(const ZoneSwitch&) = delete;
    ZoneSwitch& operator=(const ZoneSwitch&) = delete;

private:
    static std::string& saved() {
        static auto* value = new std::string; // never freed: the environment may still point into it
        return *value;
    }
    bool had_zone_ = false;
};

// UTC, west with summer time, east at a half hour, and west at a half hour with summer time. The summer
// rules are spelt out: without them glibc borrows the rules of its "posixrules" zone file, whose own
// offsets take over after 2037 and would move the end of the range by the difference.
class DateInZone : public ::testing::TestWithParam<const char*> {
protected:
    ZoneSwitch zone_{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Zones, DateInZone,
                         ::testing::Values("TZ=UTC0", "TZ=EST5EDT,M3.2.0,M11.1.0", "TZ=IST-5:30",
                                           "TZ=NST3:30NDT,M3.2.0,M11.1.0"));

TEST_P(DateInZone, FirstDayOf1970IsPlainArithmetic) {
    EXPECT_EQ(make_date(1970, 1, 1, 0, 0, 0), 0);
    EXPECT_EQ(make_date(1970, 1, 1, 1, 2, 3), 3723);
    EXPECT_EQ(make_date(1970, 1, 1, 23, 59, 59), 86399);
}

// The value reads the wall-clock fields as UTC, whatever the zone and whether summer time is in force.
TEST_P(DateInZone, ValueIsTheFieldsCountedAsUtc) {
    const struct {
        Fields fields;
        DateValue value;
    } cases[] = {
        {{1970, 1, 2, 0, 0, 0}, 86400},
        {{1999, 12, 31, 23, 59, 59}, 946684799},
        {{2000, 2, 29, 12, 0, 0}, 951825600},
        {{2012, 2, 29, 23, 59, 59}, 1330559999},
        {{2014, 3, 9, 8, 5, 7}, 1394352307},
        {{2014, 3, 9, 2, 30, 0}, 1394332200}, // skipped by the spring change in zones with summer time
        {{2014, 7, 15, 0, 30, 0}, 1405384200},
        {{2038, 1, 18, 23, 59, 59}, 2147471999},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(make(c.fields), c.value) << c.fields.year << "-" << c.fields.month << "-" << c.fields.day;
    }
}

TEST_P(DateInZone, FieldsComeBackInSummerAndWinter) {
    // January, July, and both days on which summer time starts and ends in the zones that have it.
    const struct {
        int year, month, day;
    } days[] = {{2014, 1, 15}, {2014, 7, 15}, {2014, 3, 9}, {2014, 11, 2}, {1970, 1, 2}};
    for (const auto& day : days) {
        for (int hour = 0; hour < 24; ++hour) {
            const DateValue date = make_date(day.year, day.month, day.day, hour, 30, 15);
            EXPECT_EQ(date_hour(date), hour) << day.month << "/" << day.day << " " << hour;
            EXPECT_EQ(date_day(date), day.day);
            EXPECT_EQ(date_minute(date), 30);
        }
    }
}

TEST(MakeDate, ChecksEveryField) {
    const struct {
        Fields fields;
        bool valid;
    } cases[] = {
        {{2012, 2, 29, 0, 0, 0}, true},  {{2000, 2, 29, 0, 0, 0}, true},      {{2016, 2, 29, 0, 0, 0}, true},
        {{2014, 2, 28, 0, 0, 0}, true},  {{2014, 2, 29, 0, 0, 0}, false},     {{2014, 2, 30, 0, 0, 0}, false},
        {{2012, 2, 30, 0, 0, 0}, false}, {{2014, 4, 31, 0, 0, 0}, false},     {{2014, 6, 31, 0, 0, 0}, false},
        {{2014, 9, 31, 0, 0, 0}, false}, {{2014, 11, 31, 0, 0, 0}, false},    {{2014, 12, 31, 0, 0, 0}, true},
        {{2014, 1, 31, 0, 0, 0}, true},  {{1969, 12, 31, 23, 59, 59}, false}, {{1900, 2, 28, 0, 0, 0}, false},
        {{2100, 2, 28, 0, 0, 0}, false}, {{2039, 1, 1, 0, 0, 0}, false},      {{2038, 1, 18, 23, 59, 59}, true},
        {{2038, 1, 19, 0, 0, 0}, false}, {{2038, 2, 1, 0, 0, 0}, false},      {{2014, 0, 1, 0, 0, 0}, false},
        {{2014, 13, 1, 0, 0, 0}, false}, {{2014, 1, 0, 0, 0, 0}, false},      {{2014, 1, 32, 0, 0, 0}, false},
        {{2014, 1, 1, 24, 0, 0}, false}, {{2014, 1, 1, 0, 60, 0}, false},     {{2014, 1, 1, 0, 0, 60}, false},
        {{2014, 1, 1, -1, 0, 0}, false}, {{2014, 1, 1, 0, 0, -1}, false},     {{2014, 1, 1, 23, 59, 59}, true},
    };
    for (const auto& c : cases) {
        const DateValue date = make(c.fields);
        EXPECT_EQ(date != NO_DATE, c.valid) << c.fields.year << "-" << c.fields.month << "-" << c.fields.day << " "
                                            << c.fields.hour << ":" << c.fields.minute << ":" << c.fields.second;
    }
}

TEST(DateFields, ReadTheValueAsUtc) {
    const DateValue date = 1394352307;
    EXPECT_EQ(date_year(date), 2014);
    EXPECT_EQ(date_month(date), 3);
    EXPECT_EQ(date_day(date), 9);
    EXPECT_EQ(date_hour(date), 8);
    EXPECT_EQ(date_minute(date), 5);
    EXPECT_EQ(date_second(date), 7);
}

TEST(DateFields, NegativeValuesGiveZero) {
    for (DateValue date : {NO_DATE, std::numeric_limits<DateValue>::min()}) {
        EXPECT_EQ(date_year(date), 0);
        EXPECT_EQ(date_month(date), 0);
        EXPECT_EQ(date_day(date), 0);
        EXPECT_EQ(date_hour(date), 0);
        EXPECT_EQ(date_minute(date), 0);
        EXPECT_EQ(date_second(date), 0);
    }
}

// Local clock and UTC differ by the zone offset, never by more than 14 hours; a wrong field would be off
// by at least a day.
TEST(NowSeconds, IsTheLocalClockReadAsUtc) {
    const DateValue now = now_seconds();
    ASSERT_NE(now, NO_DATE);
    const auto utc = static_cast<std::int64_t>(std::time(nullptr));
    EXPECT_LE(std::llabs(now - utc), 15 * 3600);
}

TEST(FormatDate, ReplacesTokens) {
    const DateValue date = 1394352307;    // 2014-03-09 08:05:07
    const DateValue in_2005 = 1136070001; // 2005-12-31 23:00:01
    const struct {
        const char* mask;
        DateValue date;
        const char* text;
    } cases[] = {
        {"%yyyy-%mm-%dd %hh:%ii:%ss", date, "2014-03-09 08:05:07"},
        {"%YYYY-%MM-%DD %HH:%II:%SS", date, "2014-03-09 08:05:07"},
        {"%Yy/%mM", date, "14/03"},
        {"%yy", in_2005, "05"},
        {"%yyy", date, "14y"},
        {"%y", date, "%y"},
        {"100%x", date, "100%x"},
        {"50%", date, "50%"},
        {"%%yyyy", date, "%2014"},
        {"", date, ""},
        {"%yyyy-%mm-%dd %hh:%ii:%ss", NO_DATE, "0000-00-00 00:00:00"},
        {"%yy", NO_DATE, "00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(format_date(c.mask, c.date), c.text) << c.mask;
    }
}

TEST(FormatDate, LongMaskComesBackWhole) {
    std::string mask;
    std::string expected;
    while (mask.size() < 5000) {
        mask += "ab %hh:%ii ";
        expected += "ab 08:05 ";
    }
    mask += "%";
    expected += "%";
    EXPECT_EQ(format_date(mask, 1394352307), expected);
}

} // namespace
} // namespace lum
