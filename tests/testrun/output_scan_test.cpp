// tests/testrun/output_scan_test.cpp: the download log's rate turned into the speed text, for any number it holds.
#include <gtest/gtest.h>

#include "testrun/output_scan.h"

namespace lum {
namespace {

TEST(DownloadSpeedText, IsTheRateAndItsBitsPerSecond) {
    EXPECT_EQ(download_speed_text("2014-03-09 08:05:49 (12.345 MB/s) - saved [10485760/10485760]"),
              "(12.345 MB/ = 99Mbps ");
    EXPECT_EQ(download_speed_text("2014-03-09 08:05:49 (850 KB/s) - saved [10485760/10485760]"),
              "(850 KB/s)  = 6800Kbps ");
}

// Rates beyond 64 bits and NaN have no whole number: they give the most negative one, as the x86
// conversion does, instead of undefined behaviour.
TEST(DownloadSpeedText, RatesWithoutAWholeNumberGiveTheMostNegativeValue) {
    EXPECT_EQ(download_speed_text("2014-03-09 08:05:49 (9e99 MB/s) - saved [1/1]"),
              "(9e99 MB/s) = -9223372036854775808Mbps ");
    EXPECT_EQ(download_speed_text("saved-3-09 08:05:49 (-9e30 KB/s)"), "(-9e30 KB/s = -9223372036854775808Kbps ");
    EXPECT_EQ(download_speed_text("saved-3-09 08:05:49 (NaN"), "(NaN = -9223372036854775808Kbps ");
    // A rate near the top that still fits: 9.9e17 bytes a second as a float, times eight.
    EXPECT_EQ(download_speed_text("saved-3-09 08:05:49 (99e16 B/s)"), "(99e16 B/s) = 7919999958172827648bps ");
}

} // namespace
} // namespace lum
