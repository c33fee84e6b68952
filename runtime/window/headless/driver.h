// runtime/window/headless/driver.h: what a test (or a terminal user's script) can do to the headless window layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/common/object_table.h"
#include "runtime/window/inspect.h"

namespace lum::headless {

// A button pressed by the user: an EVENT_GADGET for the next wait_event.
void press_button(ObjectNumber gadget);

// The user asked to close the window: an EVENT_CLOSE_WINDOW for the next wait_event.
void request_close(ObjectNumber window);

struct ShownMessage {
    std::string title;
    std::string text;
};

// Every message box shown so far, oldest first.
const std::vector<ShownMessage>& shown_messages();

// Rows (text gadgets) are printed to standard output when their text is set; tests may turn that off.
void echo_rows(bool on);

} // namespace lum::headless
