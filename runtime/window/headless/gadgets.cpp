// runtime/window/headless/gadgets.cpp: text rows and buttons of the headless build; rows are echoed to the terminal.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "runtime/window/events.h"
#include "runtime/window/headless/driver.h"
#include "runtime/window/headless/records.h"
#include "runtime/window/window.h"

namespace lum {
namespace {

bool& echo() {
    static bool on = true;
    return on;
}

std::intptr_t create_gadget(headless::GadgetKind kind, ObjectNumber number, Rect box, std::string_view text,
                            std::uint32_t flags) {
    const headless::GadgetList& list = headless::gadget_list();
    if (!list.open) return 0;
    auto record = std::make_unique<headless::GadgetRecord>();
    record->kind = kind;
    record->window = list.window;
    record->box = box;
    record->text = text;
    record->flags = flags;
    record->font = list.font;
    std::vector<ObjectNumber>& order = headless::gadget_order();
    order.erase(std::remove(order.begin(), order.end(), number), order.end());
    const auto placed = headless::gadget_table().place(number, std::move(record));
    if (placed.object == nullptr) return 0;
    placed.object->number = placed.number;
    order.push_back(placed.number);
    return reinterpret_cast<std::intptr_t>(placed.object);
}

headless::GadgetRecord* text_gadget(ObjectNumber number) {
    headless::GadgetRecord* gadget = headless::gadget_table().find(number);
    return gadget != nullptr && gadget->kind == headless::GadgetKind::Text ? gadget : nullptr;
}

} // namespace

std::intptr_t create_text_gadget(ObjectNumber number, std::int32_t x, std::int32_t y, std::int32_t width,
                                 std::int32_t height, std::string_view text, std::uint32_t flags) {
    return create_gadget(headless::GadgetKind::Text, number, {x, y, width, height}, text, flags);
}

std::intptr_t create_button_gadget(ObjectNumber number, std::int32_t x, std::int32_t y, std::int32_t width,
                                   std::int32_t height, std::string_view text, std::uint32_t flags) {
    return create_gadget(headless::GadgetKind::Button, number, {x, y, width, height}, text, flags);
}

// A row's text is set once, when its test has a verdict: that line is the terminal's view of the row.
void set_gadget_text(ObjectNumber number, std::string_view text) {
    headless::GadgetRecord* gadget = headless::gadget_table().find(number);
    if (gadget == nullptr) return;
    gadget->text = text;
    if (gadget->kind == headless::GadgetKind::Text && echo()) {
        std::printf("%s\n", gadget->text.c_str());
        std::fflush(stdout);
    }
}

void set_gadget_color(ObjectNumber number, std::int32_t type, std::int32_t color) {
    headless::GadgetRecord* gadget = text_gadget(number);
    if (gadget == nullptr) return;
    if (type == GADGET_COLOR_FRONT) gadget->front = color;
    if (type == GADGET_COLOR_BACK) gadget->back = color;
}

std::int32_t get_gadget_color(ObjectNumber number, std::int32_t type) {
    const headless::GadgetRecord* gadget = text_gadget(number);
    if (gadget == nullptr) return DEFAULT_VALUE;
    if (type == GADGET_COLOR_FRONT) return gadget->front;
    if (type == GADGET_COLOR_BACK) return gadget->back;
    return DEFAULT_VALUE;
}

void set_gadget_state(ObjectNumber number, std::int32_t state) {
    headless::GadgetRecord* gadget = headless::gadget_table().find(number);
    if (gadget != nullptr && gadget->kind == headless::GadgetKind::Button) gadget->state = state != 0 ? 1 : 0;
}

std::int32_t get_gadget_state(ObjectNumber number) {
    const headless::GadgetRecord* gadget = headless::gadget_table().find(number);
    return gadget != nullptr && gadget->kind == headless::GadgetKind::Button ? gadget->state : 0;
}

void set_gadget_font(ObjectNumber number, std::intptr_t font) {
    const std::intptr_t chosen = font == DEFAULT_VALUE ? headless::SYSTEM_GUI_FONT : font;
    if (number == DEFAULT_VALUE) {
        headless::gadget_list().font = chosen;
        return;
    }
    headless::GadgetRecord* gadget = headless::gadget_table().find(number);
    if (gadget != nullptr) gadget->font = chosen;
}

namespace headless {

void press_button(ObjectNumber gadget) {
    const GadgetRecord* record = gadget_table().find(gadget);
    events().queue(EVENT_GADGET, gadget, record != nullptr ? record->window : -1, 0);
}

void echo_rows(bool on) { echo() = on; }

} // namespace headless
} // namespace lum
