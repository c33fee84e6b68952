// tests/window/headless/headless_test.cpp: the headless backend's events and message boxes, as a terminal run meets
// them.
#include <gtest/gtest.h>

#include "runtime/window/headless/driver.h"
#include "runtime/window/window.h"

namespace lum {
namespace {

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::echo_rows(false);
        ASSERT_NE(open_window(0, 0, 0, 600, 270, "title", 0x00C80001), 0);
        ASSERT_NE(create_button_gadget(8, 80, 225, 110, 30, "View Log"), 0);
        ASSERT_NE(create_button_gadget(9, 200, 225, 130, 30, "Speed Test"), 0);
    }
    void TearDown() override {
        close_all_windows();
        headless::echo_rows(true);
    }
};

TEST_F(HeadlessTest, PressThenCloseAsTheClosingScreenSeesThem) {
    headless::press_button(9);
    headless::request_close(0);
    EXPECT_EQ(wait_event(), EVENT_GADGET);
    EXPECT_EQ(event_gadget(), 9);
    EXPECT_EQ(event_type(), 0);
    EXPECT_EQ(wait_event(), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(event_gadget(), 0);
    EXPECT_EQ(event_window(), 0);
}

TEST_F(HeadlessTest, NothingQueuedClosesTheWindowOrTimesOut) {
    EXPECT_EQ(wait_event(0), 0);
    EXPECT_EQ(wait_event(100), 0);
    EXPECT_EQ(wait_event(), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(event_gadget(), 0);
}

TEST_F(HeadlessTest, RepeatedRequestsMergeAndClosingDropsThem) {
    headless::request_close(0);
    headless::request_close(0);
    EXPECT_EQ(wait_event(0), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(wait_event(0), 0);
    headless::press_button(8);
    close_window(0);
    EXPECT_EQ(wait_event(0), 0);
}

TEST_F(HeadlessTest, KeepPaintedKeepsACloseRequestForLater) {
    keep_windows_painted();
    headless::request_close(0);
    keep_windows_painted();
    EXPECT_EQ(wait_event(0), EVENT_CLOSE_WINDOW);
}

TEST(HeadlessMessageBox, IsRecordedAndAnsweredWithOk) {
    const std::size_t before = headless::shown_messages().size();
    EXPECT_EQ(message_box("Lumora Network Test v1.4", "You are not Lumora customer"), 1);
    ASSERT_EQ(headless::shown_messages().size(), before + 1);
    EXPECT_EQ(headless::shown_messages().back().text, "You are not Lumora customer");
}

} // namespace
} // namespace lum
