// runtime/window/headless/windows.cpp: windows and the event loop of the headless build, over plain records.
#include <cstdlib>
#include <memory>
#include <sstream>

#include "runtime/window/events.h"
#include "runtime/window/geometry.h"
#include "runtime/window/headless/driver.h"
#include "runtime/window/headless/records.h"
#include "runtime/window/window.h"

namespace lum {
namespace {

// The frame a desktop would draw around the client area: a thin border, and a title bar when asked for.
constexpr std::int32_t BORDER = 3;
constexpr std::int32_t TITLE_BAR = 23;

// The screen that windows are centred on.
constexpr Size SCREEN{1024, 768};

Size outer_size(std::uint32_t style, std::int32_t width, std::int32_t height) {
    const bool caption = (style & WINDOW_CAPTION) == WINDOW_CAPTION;
    return {width + 2 * BORDER, height + 2 * BORDER + (caption ? TITLE_BAR : 0)};
}

Rect client_of(const Rect& frame, std::uint32_t style) {
    const bool caption = (style & WINDOW_CAPTION) == WINDOW_CAPTION;
    const std::int32_t top = BORDER + (caption ? TITLE_BAR : 0);
    return {frame.x + BORDER, frame.y + top, frame.width - 2 * BORDER, frame.height - top - BORDER};
}

// The closing screen of a terminal run has no one to press its buttons; a maintainer's script can name
// them once in LUMTEST_CLOSING_PRESSES ("8 9"), and they are pressed in that order before the close.
bool queue_scripted_presses() {
    static bool read = false;
    if (read) return false;
    read = true;
    const char* presses = std::getenv("LUMTEST_CLOSING_PRESSES");
    if (presses == nullptr) return false;
    std::istringstream names(presses);
    bool any = false;
    for (ObjectNumber button = 0; names >> button; any = true)
        headless::press_button(button);
    return any;
}

Rect reference_window(std::intptr_t parent) {
    const auto* record = reinterpret_cast<const headless::WindowRecord*>(parent);
    return record != nullptr ? record->frame : Rect{};
}

} // namespace

void window_layer_start() {}

void free_all_fonts() { headless::font_table().free_all(); }

void close_all_windows() {
    headless::window_table().free_all();
    events().clear();
}

std::intptr_t open_window(ObjectNumber number, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                          std::string_view title, std::uint32_t flags, std::intptr_t parent) {
    const WindowStyle style = window_style(flags);
    const Placement placement =
        place_window(flags, x, y, outer_size(style.style, width, height), SCREEN, reference_window(parent));
    auto record = std::make_unique<headless::WindowRecord>();
    record->title = title;
    record->flags = flags;
    record->frame = placement.frame;
    if (placement.platform_chooses) record->frame.x = record->frame.y = 0;
    record->client = client_of(record->frame, style.style);
    const auto placed = headless::window_table().place(number, std::move(record));
    if (placed.object == nullptr) return 0;
    placed.object->number = placed.number;
    if ((flags & WINDOW_NO_GADGET_LIST) == 0)
        headless::gadget_list() = {placed.number, true, headless::gadget_list().font};
    return reinterpret_cast<std::intptr_t>(placed.object);
}

void close_window(ObjectNumber number) { headless::window_table().free(number); }

// Nothing can arrive from outside: events come only from the queue (and the scripted presses). A wait
// without a time-out with nothing queued is the closing screen with no one to press a button, so the
// window is closed.
std::int32_t wait_event(std::int32_t timeout_ms) {
    EventState& state = events();
    state.begin();
    if (!state.take_queued()) {
        const headless::GadgetList& list = headless::gadget_list();
        if (timeout_ms >= 0 || !list.open) return 0;
        if (!(queue_scripted_presses() && state.take_queued()))
            state.build(EVENT_CLOSE_WINDOW, list.window, list.window, 0);
    }
    return state.finish();
}

void keep_windows_painted() {}

Size screen_size() { return SCREEN; }

namespace headless {

void request_close(ObjectNumber window) { events().queue(EVENT_CLOSE_WINDOW, window, window, 0); }

} // namespace headless
} // namespace lum
