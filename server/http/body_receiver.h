// server/http/body_receiver.h: how a handler reads a request body as it arrives, and answers from it.
#pragma once

#include <optional>
#include <string_view>

#include "server/http/response.h"

namespace lumresults {

// A request body read as it arrives. refusal() (asked once the headers are in) and feed() may end the
// exchange early with an answer; then nothing more is fed and finish() is not called.
class BodyReceiver {
public:
    virtual ~BodyReceiver() = default;
    virtual std::optional<Response> refusal() { return std::nullopt; }
    virtual std::optional<Response> feed(std::string_view bytes) = 0;
    // The whole body has arrived.
    virtual Response finish() = 0;
};

} // namespace lumresults
