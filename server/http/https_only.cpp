// server/http/https_only.cpp: the redirect to HTTPS, built only from the parts of the request it checks.
#include "server/http/https_only.h"

#include <string>
#include <string_view>

namespace lumresults {
namespace {

// Escapes all but the characters RFC 3986 leaves unreserved, and '/' in paths.
std::string escaped(std::string_view text, bool keep_slash) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           (keep_slash && c == '/');
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    }
    return out;
}

// The Host line's name without its port: letters, digits, dots and dashes, or a bracketed IPv6 address;
// nothing for anything else, so that no stray byte reaches the Location line.
std::optional<std::string> host_name(const Request& request) {
    const std::optional<std::string> host = request.header ? request.header("Host") : std::nullopt;
    if (!host || host->empty() || host->size() > 255) return std::nullopt;
    std::string_view name = *host;
    if (name.front() == '[') {
        const auto close = name.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        const std::string_view inside = name.substr(1, close - 1);
        if (inside.empty() || inside.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos)
            return std::nullopt;
        return std::string(name.substr(0, close + 1));
    }
    name = name.substr(0, name.find(':'));
    if (name.empty() || name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") !=
                            std::string_view::npos)
        return std::nullopt;
    return std::string(name);
}

} // namespace

Response https_only_answer(const Request& request, std::uint16_t https_port) {
    const std::optional<std::string> host = host_name(request);
    if ((request.method != "GET" && request.method != "HEAD") || !host)
        return Response::text(403, "staff pages and the API answer only over HTTPS\n");
    std::string location =
        "https://" + *host + (https_port == 443 ? "" : ":" + std::to_string(https_port)) + escaped(request.path, true);
    for (std::size_t i = 0; i < request.query.size(); ++i)
        location += (i == 0 ? "?" : "&") + escaped(request.query[i].first, false) + "=" +
                    escaped(request.query[i].second, false);
    return Response::redirect(location, 308);
}

} // namespace lumresults
