// tests/system/os_version_test.cpp: the release code for every kind of version record.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "runtime/system/system.h"

namespace lum {
namespace {

struct VersionCase {
    VersionRecord record;
    std::int32_t code;
};

VersionRecord nt(std::uint32_t major, std::uint32_t minor, std::uint8_t product_type = 1, bool extended_ok = true) {
    return {true, 2, major, minor, extended_ok, product_type};
}

VersionRecord family_95(std::uint32_t major, std::uint32_t minor) { return {true, 1, major, minor, false, 0}; }

TEST(OsVersion, DecidesEveryRowOfTheReleaseTable) {
    const VersionCase cases[] = {
        {nt(3, 51), 5},         {nt(4, 0), 20},         {nt(4, 7, 3), 20},      {nt(5, 0), 50},
        {nt(5, 0, 3), 50},      {nt(5, 1), 60},         {nt(5, 1, 3), 60},      {nt(5, 2), 60},
        {nt(5, 2, 2), 65},      {nt(5, 2, 3), 65},      {nt(5, 3), 200},        {nt(6, 0), 70},
        {nt(6, 0, 3), 75},      {nt(6, 1), 80},         {nt(6, 1, 3), 85},      {nt(6, 1, 1, false), 85},
        {nt(6, 2), 90},         {nt(6, 2, 2), 95},      {nt(6, 3), 200},        {nt(10, 0), 200},
        {nt(2, 0), 200},        {family_95(4, 0), 10},  {family_95(4, 10), 30}, {family_95(9, 10), 30},
        {family_95(4, 90), 40}, {family_95(4, 5), 200},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decide_os_version(c.record), c.code)
            << "platform " << c.record.platform_id << " version " << c.record.major << "." << c.record.minor
            << " product type " << int(c.record.product_type) << " extended " << c.record.extended_ok;
    }
}

TEST(OsVersion, UnknownPlatformsAndFailedQueriesAreFuture) {
    EXPECT_EQ(decide_os_version({true, 0, 6, 1, true, 1}), 200);
    EXPECT_EQ(decide_os_version({true, 3, 6, 1, true, 1}), 200);
    EXPECT_EQ(decide_os_version(VersionRecord{}), 200);
    VersionRecord failed = nt(6, 1);
    failed.plain_ok = false;
    EXPECT_EQ(decide_os_version(failed), 200);
}

TEST(OsVersion, QueryGivesACodeOfTheTable) {
    const std::int32_t code = os_version_code();
    const std::int32_t known[] = {5, 10, 20, 30, 40, 50, 60, 65, 70, 75, 80, 85, 90, 95, 200};
    EXPECT_NE(std::find(std::begin(known), std::end(known), code), std::end(known)) << code;
}

} // namespace
} // namespace lum
