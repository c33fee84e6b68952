// server/http/gated_body.cpp: holding a staff form's body until its sender is known.
#include "server/http/gated_body.h"

namespace lumresults {
namespace {

Response too_large() {
    return Response::text(413, "a form is at most " + std::to_string(GatedBody::MOST_BYTES) + " bytes\n");
}

} // namespace

GatedBody::GatedBody(const Gate& gate, const Route& route, Request& request)
    : gate_(gate), route_(route), request_(request) {}

std::optional<Response> GatedBody::refusal() {
    if (request_.content_length && *request_.content_length > MOST_BYTES) return too_large();
    return std::nullopt;
}

std::optional<Response> GatedBody::feed(std::string_view bytes) {
    if (bytes.size() > MOST_BYTES - held_.size()) return too_large();
    held_ += bytes;
    return std::nullopt;
}

Response GatedBody::finish() {
    if (std::optional<Response> refusal = gate_(route_, request_)) return *refusal;
    const std::unique_ptr<BodyReceiver> receiver = route_.receive(request_);
    if (std::optional<Response> refusal = receiver->refusal()) return *refusal;
    if (std::optional<Response> refusal = receiver->feed(held_)) return *refusal;
    return receiver->finish();
}

} // namespace lumresults
