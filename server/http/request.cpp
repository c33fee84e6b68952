// server/http/request.cpp: reading a request's query.
#include "server/http/request.h"

namespace lumresults {

std::optional<std::string> Request::query_value(std::string_view name) const {
    for (const auto& [key, value] : query)
        if (key == name) return value;
    return std::nullopt;
}

} // namespace lumresults
