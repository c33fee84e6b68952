// runtime/window/headless/tables.cpp: the headless layer's object tables and gadget list.
#include "runtime/window/headless/records.h"

#include <algorithm>

#include "runtime/window/events.h"

namespace lum::headless {

// The tables live until the process ends and are never destroyed: a window left open at exit must not
// be freed after the gadget table it empties. Teardown frees their contents in order.
ObjectTable<WindowRecord>& window_table() {
    static auto* table = new ObjectTable<WindowRecord>(16);
    return *table;
}

ObjectTable<GadgetRecord>& gadget_table() {
    static auto* table = new ObjectTable<GadgetRecord>(50);
    return *table;
}

ObjectTable<FontRecord>& font_table() {
    static auto* table = new ObjectTable<FontRecord>(16);
    return *table;
}

GadgetList& gadget_list() {
    static auto* list = new GadgetList();
    return *list;
}

std::vector<ObjectNumber>& gadget_order() {
    static auto* order = new std::vector<ObjectNumber>();
    return *order;
}

// Closing a window takes its gadgets and its queued events with it, as destroying a platform window
// destroys its child controls.
WindowRecord::~WindowRecord() {
    std::vector<ObjectNumber>& order = gadget_order();
    for (auto it = order.begin(); it != order.end();) {
        const GadgetRecord* gadget = gadget_table().find(*it);
        if (gadget != nullptr && gadget->window == number) {
            gadget_table().free(*it);
            it = order.erase(it);
        } else {
            ++it;
        }
    }
    events().drop_window(number);
    if (gadget_list().window == number) gadget_list().open = false;
}

} // namespace lum::headless
