// tests/testrun/output_scan_test.cpp: ping's answers in any language, and the download log's rate as the speed text.
#include <gtest/gtest.h>

#include "rules/output_scan.h"

namespace lum {
namespace {

// Lines as ping prints them through a pipe: in the console's code page, whatever the language.
TEST(PingLine, RepliesAreTheTargetsAnswersInAnyLanguage) {
    struct Case {
        std::string_view line;
        bool reply;
        bool timeout;
    };
    const Case cases[] = {
        {"Reply from 8.8.8.8: bytes=32 time=14ms TTL=117", true, false},
        {"Reply from 8.8.8.8: bytes=32 time<1ms TTL=64", true, false},
        // Japanese (code page 932), with its blank before "=" in the other fields.
        {"8.8.8.8 \x82\xa9\x82\xe7\x82\xcc\x89\x9e\x93\x9a: \x83o\x83"
         "C\x83g\x90\x94 =32 \x8e\x9e\x8a\xd4 =7ms TTL=55",
         true, false},
        {"Request timed out.", false, true},
        // Russian (code page 866): a time-out in other words is no reply either.
        {"\x8f\xe0\xa5\xa2\xeb\xe8\xa5\xad \xa8\xad\xe2\xa5\xe0\xa2\xa0\xab \xae\xa6\xa8\xa4\xa0\xad\xa8\xef "
         "\xa4\xab\xef \xa7\xa0\xaf\xe0\xae\xe1\xa0.",
         false, false},
        // Answers that are not the target's: a gateway's, and a router's on the way.
        {"Reply from 192.168.1.1: Destination host unreachable.", false, false},
        {"Reply from 10.0.0.1: TTL expired in transit.", false, false},
        {"TTL=", false, false},
        {"TTL=x TTL=5", true, false},
        {"Packets: Sent = 4, Received = 4, Lost = 0 (0% loss),", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(is_ping_reply(c.line), c.reply) << c.line;
        EXPECT_EQ(is_ping_timeout(c.line), c.timeout) << c.line;
    }
}

TEST(LostEchoes, AreTheLargerOfTimeOutsAndMissingReplies) {
    struct Case {
        EchoTally tally;
        std::int32_t sent;
        std::int32_t lost;
    };
    const Case cases[] = {
        {{0, 4}, 4, 0}, {{1, 3}, 4, 1}, {{0, 3}, 4, 1},  {{0, 2}, 4, 2},   {{0, 0}, 4, 4},
        {{3, 3}, 4, 3}, {{0, 6}, 4, 0}, {{0, 9}, 10, 1}, {{2, 10}, 10, 2}, {{0, 0}, 10, 10},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lost_echoes(c.tally, c.sent), c.lost)
            << c.tally.timeouts << " time-outs, " << c.tally.replies << " replies of " << c.sent;
    }
}

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
