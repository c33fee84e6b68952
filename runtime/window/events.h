// runtime/window/events.h: the event record and queue that both window backends fill and wait_event returns.
#pragma once

#include <cstdint>
#include <deque>

namespace lum {

struct Event {
    std::intptr_t object = 0;     // gadget, timer or window number; kept from the previous event when unset
    std::intptr_t window = -1;    // the window the event belongs to; -1 when none
    std::int32_t type = -1;       // a gadget's notification code; -1 when the event has none
    std::int32_t code = 0;        // the event code, or the number of a raw platform message
    std::intptr_t parameter1 = 0; // the raw message's parameters
    std::intptr_t parameter2 = 0;
};

// One per program: the event being built while a message is delivered, the current event (what
// wait_event returned last) and the queue of events that messages added.
class EventState {
public:
    // Starts building the next event: no code, no type, no parameters; object and window stay.
    void begin();

    // Moves the queue's first entry into the event being built; false when the queue is empty.
    bool take_queued();

    // The message being delivered is this event (a click, a timer).
    void build(std::int32_t code, std::intptr_t object, std::intptr_t window, std::int32_t type);

    // The same for an event that concerns no object: the object stays what the last event left.
    void build_keeping_object(std::int32_t code, std::intptr_t window, std::int32_t type);

    // Every message that reaches a window names that window (-1: a window without a number), whether
    // or not it makes an event; a raw message event carries it.
    void set_window(std::intptr_t window) { building_.window = window; }

    // The message adds an event for a later call. It is dropped when the queue's last entry is the
    // same event (code below 65537, same object, window and type): two erasures make one repaint.
    void queue(std::int32_t code, std::intptr_t object, std::intptr_t window, std::int32_t type);

    // Delivery made no event: the event is the raw message.
    void build_raw(std::int32_t message, std::intptr_t parameter1, std::intptr_t parameter2);

    bool built() const { return building_.code != 0; }

    // Makes the event built the current one and returns its code.
    std::int32_t finish();

    const Event& current() const { return current_; }

    // A closed window leaves no events behind.
    void drop_window(std::intptr_t window);

    // While quiet (the script keeps its windows painted between tests), messages make no events,
    // except a close request, which waits in the queue for the closing screen.
    void set_quiet(bool quiet) { quiet_ = quiet; }
    bool quiet() const { return quiet_; }

    // Teardown: forgets everything.
    void clear();

private:
    struct Queued {
        std::int32_t code;
        std::intptr_t object;
        std::intptr_t window;
        std::int32_t type;
    };

    Event building_;
    Event current_;
    std::deque<Queued> queue_;
    bool quiet_ = false;
};

EventState& events();

} // namespace lum
