// runtime/window/win32/window_records.h: the Win32 window layer's records of windows, gadgets and fonts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "runtime/common/object_table.h"
#include "runtime/window/win32/brush_cache.h"
#include "runtime/window/win32/win32_handles.h"

namespace lum::win32 {

// Window properties that carry a record's address: on a window, its WindowRecord; on a gadget's control,
// its GadgetRecord. An address rather than the number, because number 0 would read as "no property".
inline constexpr const char* WINDOW_PROPERTY = "lum.window";
inline constexpr const char* GADGET_PROPERTY = "lum.gadget";

// The commands the keyboard table gives for Tab and Shift+Tab.
inline constexpr WORD COMMAND_NEXT_CONTROL = 64001;
inline constexpr WORD COMMAND_PREVIOUS_CONTROL = 64002;

// Closing a window is its destructor: the table frees the record when the program closes the window,
// opens another under its number, or tears everything down.
struct WindowRecord {
    ObjectNumber number = 0;
    UniqueWindow window;
    std::string class_name; // registered while not empty
    UniqueAccelerators keyboard;
    UniqueBrush background; // none: the class paints the 3D-face colour
    bool tool = false;
    bool minimized_or_maximized = false;
    HWND saved_focus = nullptr;

    WindowRecord() = default;
    WindowRecord(const WindowRecord&) = delete;
    WindowRecord& operator=(const WindowRecord&) = delete;
    ~WindowRecord();
};

struct GadgetRecord;

// What differs between kinds of gadget; an empty entry means the generic behaviour (or nothing).
struct GadgetKind {
    std::int32_t code;
    // Notifications and colour requests that the parent receives for the control; true when answered.
    bool (*handle_message)(GadgetRecord& gadget, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& answer);
    void (*release)(GadgetRecord& gadget);
    std::int32_t (*get_state)(const GadgetRecord& gadget);
    void (*set_state)(GadgetRecord& gadget, std::int32_t state);
    void (*set_color)(GadgetRecord& gadget, std::int32_t type, std::int32_t color);
    std::int32_t (*get_color)(const GadgetRecord& gadget, std::int32_t type);
};

extern const GadgetKind TEXT_KIND;
extern const GadgetKind BUTTON_KIND;

struct GadgetRecord {
    ObjectNumber number = 0;
    const GadgetKind* kind = nullptr;
    WNDPROC previous = nullptr;
    std::int32_t back = -1;
    std::int32_t front = -1;
    CachedBrush back_brush;
    UniqueWindow control;

    GadgetRecord() = default;
    GadgetRecord(const GadgetRecord&) = delete;
    GadgetRecord& operator=(const GadgetRecord&) = delete;
    // The control goes first: its WM_NCDESTROY still reaches this record and releases the brush.
    ~GadgetRecord() { control.reset(); }
};

ObjectTable<WindowRecord>& window_table();
ObjectTable<GadgetRecord>& gadget_table();
ObjectTable<UniqueFont>& font_table();

// The window new gadgets go into, and the font they get (the system's default GUI font at start).
struct GadgetList {
    HWND window = nullptr;
    HFONT font = nullptr;
};
GadgetList& gadget_list();

// The program's icon at the system's big and small icon sizes (none in a binary without icon resource 1)
// and the arrow cursor, for window classes. Loaded once; the icons live as long as the program.
struct ClassResources {
    UniqueIcon big_icon;
    UniqueIcon small_icon;
    HCURSOR cursor = nullptr;
};
ClassResources& class_resources();

// The record of the nearest window, from `window` up through its parents, that carries one.
WindowRecord* window_record_of(HWND window);
GadgetRecord* gadget_record_of(HWND control);

// The platform window of a window or gadget number; nullptr when the number names nothing.
HWND window_handle(ObjectNumber number);
HWND gadget_handle(ObjectNumber number);

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Tab (forward) or Shift+Tab among `window`'s enabled, visible tab-stop controls, in creation order.
void move_focus(HWND window, bool forward);

// A gadget's text or colours changed: paint it now, since the script may not process messages for a while.
void repaint_gadget(HWND control);

} // namespace lum::win32
