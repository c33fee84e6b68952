// runtime/window/window.h: the window layer: numbered windows, gadgets and fonts, events, and message boxes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/common/object_table.h"

namespace lum {

// -1 as an argument: the default colour, the system's default GUI font, or (for set_gadget_font) the
// default font of gadgets created from then on.
inline constexpr std::int32_t DEFAULT_VALUE = -1;

// Event codes returned by wait_event. Any other value is the number of a platform message that made
// no event; 0 means nothing arrived within the time-out.
enum EventCode : std::int32_t {
    EVENT_MOVE_WINDOW = 3,
    EVENT_SIZE_WINDOW = 5,
    EVENT_REPAINT = 15,
    EVENT_CLOSE_WINDOW = 16,
    EVENT_GADGET = 0x332C,
    EVENT_MENU = 0x332D,
    EVENT_SYSTRAY = 0x332E,
    EVENT_ACTIVATE_WINDOW = 0x3330,
    EVENT_WINDOW_DROP = 0x3331,
    EVENT_GADGET_DROP = 0x3332,
    EVENT_MINIMIZE_WINDOW = 0x3333,
    EVENT_MAXIMIZE_WINDOW = 0x3334,
    EVENT_RESTORE_WINDOW = 0x3335,
    EVENT_TIMER = 0x3336,
    EVENT_RIGHT_CLICK = 0x3337,
    EVENT_LEFT_CLICK = 0x3338,
    EVENT_LEFT_DOUBLE_CLICK = 0x3339,
    EVENT_DEACTIVATE_WINDOW = 0x333A,
};

// open_window flags: bits 0 to 3 and 28 are the layer's own; every other bit is a Win32 window style.
inline constexpr std::uint32_t WINDOW_SCREEN_CENTERED = 1;
inline constexpr std::uint32_t WINDOW_PARENT_CENTERED = 2;
inline constexpr std::uint32_t WINDOW_TOOL = 4;
inline constexpr std::uint32_t WINDOW_NO_GADGET_LIST = 8;
inline constexpr std::uint32_t WINDOW_INVISIBLE = 0x10000000;
inline constexpr std::uint32_t WINDOW_CAPTION = 0x00C00000;
inline constexpr std::uint32_t WINDOW_SYSTEM_MENU = 0x00080000;

// x or y: let the platform place the window.
inline constexpr std::int32_t POSITION_DEFAULT = static_cast<std::int32_t>(0xFFFF0001u);

inline constexpr std::int32_t GADGET_COLOR_FRONT = 1;
inline constexpr std::int32_t GADGET_COLOR_BACK = 2;

inline constexpr std::uint32_t FONT_UNDERLINE = 4;
inline constexpr std::uint32_t FONT_STRIKEOUT = 8;
inline constexpr std::uint32_t FONT_HIGH_QUALITY = 0x10;
inline constexpr std::uint32_t FONT_BOLD = 0x100;
inline constexpr std::uint32_t FONT_ITALIC = 0x200;

// Start-up: common controls and COM (on Windows), the gadget list's default font, icon and cursor.
void window_layer_start();

// Teardown, in this order: fonts first, then windows (their gadgets go with them).
void free_all_fonts();
void close_all_windows();

// Opens a window whose client area is width x height, and makes it the gadget list unless
// WINDOW_NO_GADGET_LIST. Result: the platform window (the reference for ANY_NUMBER), 0 on failure.
std::intptr_t open_window(ObjectNumber number, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                          std::string_view title, std::uint32_t flags, std::intptr_t parent = 0);

// Closes the window and its gadgets, and drops its queued events. Unknown numbers are ignored.
void close_window(ObjectNumber number);

// The next event; with timeout_ms < 0 waits without limit. Events that a message queued come back
// one per call, after the call that delivered the message.
std::int32_t wait_event(std::int32_t timeout_ms = -1);

// Fields of the event wait_event returned last. The object is not cleared between events.
std::intptr_t event_gadget();
std::intptr_t event_window();
std::int32_t event_type();

// For the script while it waits for a tool: keeps the windows painted and movable, and turns no
// input into an event. A close request is kept for the first wait_event of the closing screen.
void keep_windows_painted();

// Gadgets go into the current gadget list window. flags: the control's style bits (0: a left-aligned,
// word-wrapped text; a plain push button). Result: the control (the reference for ANY_NUMBER), 0 on failure.
std::intptr_t create_text_gadget(ObjectNumber number, std::int32_t x, std::int32_t y, std::int32_t width,
                                 std::int32_t height, std::string_view text, std::uint32_t flags = 0);
std::intptr_t create_button_gadget(ObjectNumber number, std::int32_t x, std::int32_t y, std::int32_t width,
                                   std::int32_t height, std::string_view text, std::uint32_t flags = 0);

void set_gadget_text(ObjectNumber number, std::string_view text);

// Colours are 0x00BBGGRR; DEFAULT_VALUE restores the default. Only text gadgets have colours.
void set_gadget_color(ObjectNumber number, std::int32_t type, std::int32_t color);
std::int32_t get_gadget_color(ObjectNumber number, std::int32_t type);

void set_gadget_state(ObjectNumber number, std::int32_t state);
std::int32_t get_gadget_state(ObjectNumber number);

// number DEFAULT_VALUE: the font of gadgets created from now on (existing gadgets keep theirs);
// font DEFAULT_VALUE: the system's default GUI font.
void set_gadget_font(ObjectNumber number, std::intptr_t font);

// A font of `size` points at the display's resolution. Result: the platform font (the reference for
// ANY_NUMBER), 0 on failure.
std::intptr_t load_font(ObjectNumber number, std::string_view face, std::int32_t size, std::uint32_t flags = 0);
std::intptr_t font_handle(ObjectNumber number);

// Brings a window of this layer forward, also one of another program (a run already going): the first
// top-level window whose title begins with `title_start`, restored if minimised and made the
// foreground window. Message boxes are not this layer's windows. False when there is none. The
// headless build has no screen and does nothing.
bool raise_window_titled(std::string_view title_start);

// An OK-only message box, modal for the whole program; returns the button pressed (1 = OK), 0 when the
// box cannot be shown. The headless build writes "title: text" to standard error and answers OK.
std::int32_t message_box(std::string_view title, std::string_view text, std::uint32_t style = 0);

} // namespace lum
