// tests/window/window_test.cpp: windows, gadgets and fonts as the program uses them, on either backend.
#include <gtest/gtest.h>

#include "runtime/window/inspect.h"
#include "runtime/window/window.h"

namespace lum {
namespace {

constexpr std::uint32_t PROGRESS_FLAGS = 0x00C80001;

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_layer_start();
        ASSERT_NE(
            open_window(0, 0, 0, 600, 270, "Lumora Network Test v1.4 Your IP Address 100.102.3.4", PROGRESS_FLAGS), 0);
    }
    void TearDown() override {
        free_all_fonts();
        close_all_windows();
    }
};

TEST_F(WindowTest, ClientAreaHasTheAskedSizeAndTheFrameIsCentred) {
    const Rect client = window_client_area(0);
    const Rect frame = window_frame(0);
    const Size screen = screen_size();
    EXPECT_EQ(client.width, 600);
    EXPECT_EQ(client.height, 270);
    EXPECT_EQ(frame.x, (screen.width - frame.width) / 2);
    EXPECT_EQ(frame.y, (screen.height - frame.height) / 2);
    EXPECT_GE(frame.width, client.width);
    EXPECT_GE(frame.height, client.height);
    EXPECT_EQ(window_title(0), "Lumora Network Test v1.4 Your IP Address 100.102.3.4");
}

TEST_F(WindowTest, RowsKeepTheirBoxAndText) {
    for (std::int32_t row = 1; row <= 7; ++row) {
        ASSERT_NE(create_text_gadget(row, 10, 30 * row - 20, 580, 40, "Test " + std::to_string(row)), 0);
    }
    for (std::int32_t row = 1; row <= 7; ++row) {
        const Rect box = gadget_box(row);
        EXPECT_EQ(box.x, 10);
        EXPECT_EQ(box.y, 30 * row - 20);
        EXPECT_EQ(box.width, 580);
        EXPECT_EQ(box.height, 40);
    }
    set_gadget_text(4, "Test 4 -- OK");
    EXPECT_EQ(get_gadget_text(4), "Test 4 -- OK");
    EXPECT_EQ(get_gadget_text(3), "Test 3");
}

TEST_F(WindowTest, TextColoursAreStoredPerKindAndType) {
    ASSERT_NE(create_text_gadget(1, 10, 10, 580, 40, "Test 1"), 0);
    ASSERT_NE(create_button_gadget(8, 80, 225, 110, 30, "View Log"), 0);
    EXPECT_EQ(get_gadget_color(1, GADGET_COLOR_FRONT), DEFAULT_VALUE);
    const std::int32_t verdicts[] = {0x008000, 0x000080, 0x800000};
    for (const std::int32_t color : verdicts) {
        set_gadget_color(1, GADGET_COLOR_FRONT, color);
        EXPECT_EQ(get_gadget_color(1, GADGET_COLOR_FRONT), color);
        EXPECT_EQ(get_gadget_color(1, GADGET_COLOR_BACK), DEFAULT_VALUE);
    }
    set_gadget_color(1, GADGET_COLOR_BACK, 0x00FFFF);
    EXPECT_EQ(get_gadget_color(1, GADGET_COLOR_BACK), 0x00FFFF);
    set_gadget_color(1, GADGET_COLOR_BACK, DEFAULT_VALUE);
    EXPECT_EQ(get_gadget_color(1, GADGET_COLOR_BACK), DEFAULT_VALUE);
    EXPECT_EQ(get_gadget_color(1, 3), DEFAULT_VALUE);
    set_gadget_color(8, GADGET_COLOR_FRONT, 0x008000); // buttons have no colours
    EXPECT_EQ(get_gadget_color(8, GADGET_COLOR_FRONT), DEFAULT_VALUE);
}

TEST_F(WindowTest, DefaultFontReachesOnlyLaterGadgets) {
    ASSERT_NE(create_text_gadget(1, 10, 10, 580, 40, "before"), 0);
    const std::intptr_t system_font = gadget_font(1);
    ASSERT_NE(load_font(0, "Arial", 16), 0);
    EXPECT_EQ(font_height(0), -21);
    set_gadget_font(DEFAULT_VALUE, font_handle(0));
    ASSERT_NE(create_text_gadget(2, 10, 40, 580, 40, "after"), 0);
    ASSERT_NE(create_button_gadget(9, 200, 225, 130, 30, "Speed Test"), 0);
    EXPECT_EQ(gadget_font(1), system_font);
    EXPECT_EQ(gadget_font(2), font_handle(0));
    EXPECT_EQ(gadget_font(9), font_handle(0));
    set_gadget_font(1, font_handle(0));
    EXPECT_EQ(gadget_font(1), font_handle(0));
    set_gadget_font(DEFAULT_VALUE, DEFAULT_VALUE);
    ASSERT_NE(create_text_gadget(3, 10, 70, 580, 40, "system again"), 0);
    EXPECT_EQ(gadget_font(3), system_font);
}

TEST_F(WindowTest, CheckStateBelongsToButtons) {
    constexpr std::uint32_t CHECK_BOX = 3; // an automatic check box keeps its state
    ASSERT_NE(create_button_gadget(8, 80, 225, 110, 30, "Check", CHECK_BOX), 0);
    EXPECT_EQ(get_gadget_state(8), 0);
    set_gadget_state(8, 1);
    EXPECT_EQ(get_gadget_state(8), 1);
    ASSERT_NE(create_text_gadget(1, 10, 10, 580, 40, "row"), 0);
    set_gadget_state(1, 1);
    EXPECT_EQ(get_gadget_state(1), 0);
}

TEST_F(WindowTest, UnknownNumbersDoNothing) {
    set_gadget_text(42, "nothing");
    set_gadget_color(42, GADGET_COLOR_FRONT, 0x008000);
    set_gadget_font(42, DEFAULT_VALUE);
    EXPECT_EQ(get_gadget_text(42), "");
    EXPECT_EQ(get_gadget_color(42, GADGET_COLOR_FRONT), DEFAULT_VALUE);
    EXPECT_EQ(get_gadget_state(42), 0);
    EXPECT_EQ(font_handle(7), 0);
    EXPECT_EQ(window_title(3), "");
}

TEST_F(WindowTest, ReusedNumbersReplaceAndClosingTakesTheGadgets) {
    ASSERT_NE(create_text_gadget(1, 10, 10, 580, 40, "first"), 0);
    ASSERT_NE(create_text_gadget(1, 10, 10, 580, 40, "second"), 0);
    EXPECT_EQ(get_gadget_text(1), "second");
    const std::intptr_t font = load_font(ANY_NUMBER, "Arial", 10);
    EXPECT_NE(font, 0);
    EXPECT_NE(font_handle(font), 0);
    close_window(0);
    EXPECT_EQ(get_gadget_text(1), "");
    EXPECT_EQ(window_title(0), "");
    EXPECT_EQ(create_text_gadget(2, 10, 10, 100, 20, "no window"), 0);
}

} // namespace
} // namespace lum
