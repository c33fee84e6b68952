// server/http/form_body.h: small request bodies read whole: HTML forms (application/x-www-form-urlencoded) and others.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/http/body_receiver.h"
#include "server/http/request.h"
#include "server/http/response.h"

namespace lumresults {

struct FormFields {
    std::vector<std::pair<std::string, std::string>> fields;       // in order, escapes undone
    std::optional<std::string> value(std::string_view name) const; // the first of that name
};

// Splits a form body into its fields: '+' is a space, %XX a byte (a malformed escape is kept as it is).
FormFields parse_form(std::string_view body);

// Reads a form of at most `limit` bytes (413 past it; 415 for a body of another type) and answers it.
std::unique_ptr<BodyReceiver> receive_form(const Request& request, std::size_t limit,
                                           std::function<Response(const Request&, const FormFields&)> answer);

// Reads a body of any type of at most `limit` bytes (413 past it) and answers it.
std::unique_ptr<BodyReceiver> receive_small_body(const Request& request, std::size_t limit,
                                                 std::function<Response(const Request&, std::string_view)> answer);

} // namespace lumresults
