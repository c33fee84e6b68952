// runtime/net/url.h: the parts of a URL, found with plain searches for its separators.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lum {

enum class UrlPart {
    Host = 0,         // after "://" (or after the first "@" after it) up to ":" or "/"
    Port = 1,         // after the first ":" from there, up to "/"
    Path = 2,         // after the first "/" after "://", up to "?"
    PathAndQuery = 3, // after the first "/" after "://", to the end
};

// A part, or nothing when it would be empty or its start is not found.
std::optional<std::string> url_part(std::string_view url, UrlPart part);

// The port as a number (its leading digits, as the C library reads them); 80 without a port.
std::int32_t url_port_number(std::string_view url);

// The further parts: the query (after "?", up to "#"), the value of a query parameter (names compared
// without case), the fragment (after "#"), and the user name and password before an "@".
std::optional<std::string> url_query(std::string_view url);
std::optional<std::string> url_parameter(std::string_view url, std::string_view name);
std::optional<std::string> url_fragment(std::string_view url);
std::optional<std::string> url_user(std::string_view url);
std::optional<std::string> url_password(std::string_view url);

} // namespace lum
