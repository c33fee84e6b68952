// runtime/window/headless/records.h: the headless window layer's plain records of windows, gadgets and fonts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/common/object_table.h"
#include "runtime/window/inspect.h"

namespace lum::headless {

enum class GadgetKind { Text, Button };

struct WindowRecord {
    ObjectNumber number = 0;
    std::string title;
    Rect frame;
    Rect client;
    std::uint32_t flags = 0;
    ~WindowRecord();
};

struct GadgetRecord {
    ObjectNumber number = 0;
    ObjectNumber window = 0;
    GadgetKind kind = GadgetKind::Text;
    Rect box;
    std::string text;
    std::uint32_t flags = 0;
    std::int32_t front = -1;
    std::int32_t back = -1;
    std::int32_t state = 0;
    std::intptr_t font = 0;
};

struct FontRecord {
    std::string face;
    std::int32_t size = 0;
    std::uint32_t flags = 0;
    std::int32_t height = 0;
};

// The system's default GUI font, as a handle that no loaded font can have.
inline constexpr std::intptr_t SYSTEM_GUI_FONT = 1;

ObjectTable<WindowRecord>& window_table();
ObjectTable<GadgetRecord>& gadget_table();
ObjectTable<FontRecord>& font_table();

// The window new gadgets go into, and the font they get.
struct GadgetList {
    ObjectNumber window = -1;
    bool open = false;
    std::intptr_t font = SYSTEM_GUI_FONT;
};
GadgetList& gadget_list();

// Gadget numbers in creation order, so that a closing window takes exactly its own gadgets.
std::vector<ObjectNumber>& gadget_order();

} // namespace lum::headless
