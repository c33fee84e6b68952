// server/http/gated_body.h: a small body for a route that needs a session or token, held until the gate
// (which asks the store) has let the request in, so that the gate runs on a worker rather than on the
// thread that reads requests.
#pragma once

#include <memory>
#include <string>

#include "server/http/body_receiver.h"
#include "server/http/routes.h"

namespace lumresults {

class GatedBody final : public BodyReceiver {
public:
    // Staff forms are a few hundred bytes; anything far larger is refused before it is held.
    static constexpr std::size_t MOST_BYTES = 64 * 1024;

    // `route` and `request` outlive the receiver (both belong to the exchange).
    GatedBody(const Gate& gate, const Route& route, Request& request);

    std::optional<Response> refusal() override;
    std::optional<Response> feed(std::string_view bytes) override;
    // Asks the gate, then gives the held body to the route's own receiver.
    Response finish() override;

private:
    const Gate& gate_;
    const Route& route_;
    Request& request_;
    std::string held_;
};

} // namespace lumresults
