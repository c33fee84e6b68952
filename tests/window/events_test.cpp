// tests/window/events_test.cpp: the event record and queue: order, merging of repeats, closed windows, quiet mode.
#include <gtest/gtest.h>

#include "runtime/window/events.h"
#include "runtime/window/window.h"

namespace lum {
namespace {

// Runs wait_event's own steps on a private state: a queued event if there is one, else nothing (0).
std::int32_t next(EventState& state) {
    state.begin();
    state.take_queued();
    return state.finish();
}

TEST(EventQueue, QueuedEventsComeBackOneByOneInOrder) {
    EventState state;
    state.queue(EVENT_REPAINT, 0, 0, 0);
    state.queue(EVENT_CLOSE_WINDOW, 0, 0, 0);
    EXPECT_EQ(next(state), EVENT_REPAINT);
    EXPECT_EQ(next(state), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(state.current().object, 0);
    EXPECT_EQ(state.current().type, 0);
    EXPECT_EQ(next(state), 0);
}

TEST(EventQueue, RepeatOfTheLastEntryIsDropped) {
    EventState state;
    state.queue(EVENT_REPAINT, 0, 0, 0);
    state.queue(EVENT_REPAINT, 0, 0, 0); // the same as the last entry: dropped
    state.queue(EVENT_REPAINT, 0, 1, 0); // another window: kept
    state.queue(EVENT_MOVE_WINDOW, 0, 0, 0);
    state.queue(EVENT_REPAINT, 0, 0, 0); // not the last entry any more: kept
    state.queue(70000, 0, 0, 0);
    state.queue(70000, 0, 0, 0); // codes above 65536 are never merged
    const std::int32_t expected[] = {EVENT_REPAINT, EVENT_REPAINT, EVENT_MOVE_WINDOW, EVENT_REPAINT, 70000, 70000, 0};
    for (const std::int32_t code : expected)
        EXPECT_EQ(next(state), code);
}

TEST(EventQueue, ClosedWindowLeavesNoEvents) {
    EventState state;
    state.queue(EVENT_MOVE_WINDOW, 1, 1, 0);
    state.queue(EVENT_MOVE_WINDOW, 2, 2, 0);
    state.queue(EVENT_CLOSE_WINDOW, 1, 1, 0);
    state.drop_window(1);
    EXPECT_EQ(next(state), EVENT_MOVE_WINDOW);
    EXPECT_EQ(state.current().window, 2);
    EXPECT_EQ(next(state), 0);
}

// The object of the last event stays when an event does not set one; type and code are reset.
TEST(EventQueue, RawMessageKeepsTheLastObject) {
    EventState state;
    state.begin();
    state.build(EVENT_GADGET, 9, 0, 0);
    EXPECT_EQ(state.finish(), EVENT_GADGET);
    state.begin();
    EXPECT_FALSE(state.built());
    state.build_raw(0x0113, 7, 8);
    EXPECT_EQ(state.finish(), 0x0113);
    EXPECT_EQ(state.current().object, 9);
    EXPECT_EQ(state.current().type, -1);
    EXPECT_EQ(state.current().parameter1, 7);
}

TEST(EventQueue, QuietModeKeepsOnlyTheCloseRequest) {
    EventState state;
    state.set_quiet(true);
    state.queue(EVENT_MOVE_WINDOW, 0, 0, 0);
    state.queue(EVENT_CLOSE_WINDOW, 0, 0, 0);
    state.begin();
    state.build(EVENT_GADGET, 8, 0, 0);
    EXPECT_FALSE(state.built());
    state.set_quiet(false);
    EXPECT_EQ(next(state), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(next(state), 0);
}

} // namespace
} // namespace lum
