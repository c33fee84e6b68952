// runtime/window/events.cpp: building, queueing and handing out events, the same for both window backends.
#include "runtime/window/events.h"

#include <algorithm>

#include "runtime/window/window.h"

namespace lum {
namespace {

// Codes from here on belong to events that must never be merged.
constexpr std::int32_t FIRST_UNMERGED_CODE = 65537;

} // namespace

void EventState::begin() {
    building_.type = -1;
    building_.code = 0;
    building_.parameter1 = 0;
    building_.parameter2 = 0;
}

bool EventState::take_queued() {
    if (queue_.empty()) return false;
    const Queued next = queue_.front();
    queue_.pop_front();
    building_.code = next.code;
    building_.object = next.object;
    building_.window = next.window;
    building_.type = next.type;
    return true;
}

void EventState::build(std::int32_t code, std::intptr_t object, std::intptr_t window, std::int32_t type) {
    if (quiet_) return;
    building_.code = code;
    building_.object = object;
    building_.window = window;
    building_.type = type;
}

void EventState::build_keeping_object(std::int32_t code, std::intptr_t window, std::int32_t type) {
    build(code, building_.object, window, type);
}

void EventState::queue(std::int32_t code, std::intptr_t object, std::intptr_t window, std::int32_t type) {
    if (quiet_ && code != EVENT_CLOSE_WINDOW) return;
    if (!queue_.empty() && code < FIRST_UNMERGED_CODE) {
        const Queued& last = queue_.back();
        if (last.code == code && last.object == object && last.window == window && last.type == type) return;
    }
    queue_.push_back({code, object, window, type});
}

void EventState::build_raw(std::int32_t message, std::intptr_t parameter1, std::intptr_t parameter2) {
    building_.code = message;
    building_.parameter1 = parameter1;
    building_.parameter2 = parameter2;
}

std::int32_t EventState::finish() {
    current_ = building_;
    building_.code = 0;
    return current_.code;
}

void EventState::drop_window(std::intptr_t window) {
    queue_.erase(std::remove_if(queue_.begin(), queue_.end(), [window](const Queued& q) { return q.window == window; }),
                 queue_.end());
}

void EventState::clear() {
    queue_.clear();
    building_ = Event();
    current_ = Event();
    quiet_ = false;
}

// Never destroyed, like the window tables, whose records drop their events when freed.
EventState& events() {
    static auto* state = new EventState();
    return *state;
}

std::intptr_t event_gadget() { return events().current().object; }
std::intptr_t event_window() { return events().current().window; }
std::int32_t event_type() { return events().current().type; }

} // namespace lum
