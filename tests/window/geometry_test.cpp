// tests/window/geometry_test.cpp: styles from flags, centring with clipping, font heights, Tab order.
#include <gtest/gtest.h>

#include "runtime/window/geometry.h"
#include "runtime/window/window.h"

namespace lum {
namespace {

TEST(WindowStyle, TakesOutTheLayersBitsAndAddsWhatIsImplied) {
    const struct {
        std::uint32_t flags;
        std::uint32_t style;
        std::uint32_t extended;
        bool hidden;
    } cases[] = {
        {0x00C80001, 0x00C80000, 0, false}, // the progress window: caption, system menu, centred
        {0, WINDOW_CAPTION, 0, false},      // nothing asked: a title bar
        {WINDOW_SCREEN_CENTERED | WINDOW_INVISIBLE, WINDOW_CAPTION, 0, true},
        {WINDOW_NO_GADGET_LIST, WINDOW_CAPTION, 0, false},
        {0x00080000, 0x00080000, 0, false}, // a style given: nothing added
        {WINDOW_TOOL | 0x00020000 | 0x00010000 | 0x00080000, WINDOW_CAPTION | 0x00080000, 0x80, false},
        {WINDOW_TOOL | 0x21000000, WINDOW_CAPTION, 0x80, false},
    };
    for (const auto& c : cases) {
        const WindowStyle style = window_style(c.flags);
        EXPECT_EQ(style.style, c.style) << std::hex << c.flags;
        EXPECT_EQ(style.extended, c.extended) << std::hex << c.flags;
        EXPECT_EQ(style.hidden, c.hidden) << std::hex << c.flags;
    }
}

TEST(PlaceWindow, CentresOnTheScreenAndClipsTheFrameToIt) {
    const Placement centred = place_window(WINDOW_SCREEN_CENTERED, 0, 0, {606, 299}, {1024, 768}, {});
    EXPECT_EQ(centred.frame.x, 209);
    EXPECT_EQ(centred.frame.y, 234);
    EXPECT_EQ(centred.frame.width, 606);
    const Placement clipped = place_window(WINDOW_SCREEN_CENTERED, 50, 50, {606, 299}, {600, 200}, {});
    EXPECT_EQ(clipped.frame.x, 0);
    EXPECT_EQ(clipped.frame.y, 0);
    EXPECT_EQ(clipped.frame.width, 600);
    EXPECT_EQ(clipped.frame.height, 200);
}

TEST(PlaceWindow, ParentCentringAndTheDefaultPosition) {
    const Placement on_parent =
        place_window(WINDOW_PARENT_CENTERED, 5, 5, {200, 100}, {1024, 768}, {100, 50, 400, 300});
    EXPECT_EQ(on_parent.frame.x, 200);
    EXPECT_EQ(on_parent.frame.y, 150);
    const Placement kept_on_screen =
        place_window(WINDOW_PARENT_CENTERED, 5, 5, {800, 600}, {1024, 768}, {0, 0, 100, 100});
    EXPECT_EQ(kept_on_screen.frame.x, 0);
    EXPECT_EQ(kept_on_screen.frame.y, 0);
    const Placement no_parent = place_window(WINDOW_PARENT_CENTERED, 5, 7, {200, 100}, {1024, 768}, {});
    EXPECT_EQ(no_parent.frame.x, 5);
    EXPECT_EQ(no_parent.frame.y, 7);
    EXPECT_TRUE(place_window(0, POSITION_DEFAULT, 0, {1, 1}, {1024, 768}, {}).platform_chooses);
    EXPECT_FALSE(place_window(0, 10, 10, {1, 1}, {1024, 768}, {}).platform_chooses);
}

TEST(FontHeight, PointsAtTheDisplaysResolutionRoundedLikeMulDiv) {
    EXPECT_EQ(font_character_height(16, 96), -21); // 21.33
    EXPECT_EQ(font_character_height(8, 96), -11);  // 10.67
    EXPECT_EQ(font_character_height(9, 120), -15); // exactly 15
    EXPECT_EQ(font_character_height(3, 12), -1);   // 0.5 rounds away from zero
    EXPECT_EQ(font_character_height(-3, 12), 1);
    EXPECT_EQ(font_character_height(0, 96), 0);
}

TEST(FocusOrder, TabAndShiftTabWrapAround) {
    EXPECT_EQ(next_focus(2, 0, true), 1);
    EXPECT_EQ(next_focus(2, 1, true), 0);
    EXPECT_EQ(next_focus(2, 0, false), 1);
    EXPECT_EQ(next_focus(3, -1, true), 0);
    EXPECT_EQ(next_focus(3, -1, false), 2);
    EXPECT_EQ(next_focus(0, -1, true), -1);
}

} // namespace
} // namespace lum
