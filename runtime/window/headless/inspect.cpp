// runtime/window/headless/inspect.cpp: the headless records, read back.
#include "runtime/window/headless/records.h"
#include "runtime/window/inspect.h"

namespace lum {

Rect window_frame(ObjectNumber number) {
    const headless::WindowRecord* window = headless::window_table().find(number);
    return window != nullptr ? window->frame : Rect{};
}

Rect window_client_area(ObjectNumber number) {
    const headless::WindowRecord* window = headless::window_table().find(number);
    return window != nullptr ? window->client : Rect{};
}

std::string window_title(ObjectNumber number) {
    const headless::WindowRecord* window = headless::window_table().find(number);
    return window != nullptr ? window->title : std::string();
}

Rect gadget_box(ObjectNumber number) {
    const headless::GadgetRecord* gadget = headless::gadget_table().find(number);
    return gadget != nullptr ? gadget->box : Rect{};
}

std::string get_gadget_text(ObjectNumber number) {
    const headless::GadgetRecord* gadget = headless::gadget_table().find(number);
    return gadget != nullptr ? gadget->text : std::string();
}

std::intptr_t gadget_font(ObjectNumber number) {
    const headless::GadgetRecord* gadget = headless::gadget_table().find(number);
    return gadget != nullptr ? gadget->font : 0;
}

std::int32_t font_height(ObjectNumber number) {
    const headless::FontRecord* font = headless::font_table().find(number);
    return font != nullptr ? font->height : 0;
}

} // namespace lum
