// server/dashboard/gate.cpp: the server's gate before Staff and Token routes: a live session or a known token.
#include <exception>

#include "server/http/access_log.h"
#include "server/dashboard/accounts.h"
#include "server/dashboard/page_response.h"
#include "server/web/page_headers.h"

namespace lumresults::dashboard {
namespace {

// Unreserved bytes stay, and '/' too in a path; every other byte becomes %XX.
std::string percent_encoded(std::string_view text, bool keep_slash) {
    static constexpr char HEX[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                                byte == '~' || (keep_slash && byte == '/');
        if (unreserved) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += HEX[byte >> 4];
            encoded += HEX[byte & 0x0F];
        }
    }
    return encoded;
}

// The page asked for, path and query, as a link back to it after sign-in.
std::string asked_for(const Request& request) {
    std::string target = percent_encoded(request.path, true);
    char separator = '?';
    for (const auto& [name, value] : request.query) {
        target += separator;
        target += percent_encoded(name, false) + "=" + percent_encoded(value, false);
        separator = '&';
    }
    return target;
}

bool ascii_equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
}

// The API token a request carries ("Authorization: Bearer <64 hex>"), if it carries one of that form.
std::optional<std::string> bearer_token(const Request& request) {
    const std::optional<std::string> authorization = request.header ? request.header("Authorization") : std::nullopt;
    if (!authorization) return std::nullopt;
    const std::string_view text = *authorization;
    const std::size_t space = text.find(' ');
    if (space == std::string_view::npos || !ascii_equal_ignoring_case(text.substr(0, space), "Bearer"))
        return std::nullopt;
    std::string_view token = text.substr(space + 1);
    while (!token.empty() && token.front() == ' ')
        token.remove_prefix(1);
    if (!is_token_text(token)) return std::nullopt;
    return std::string(token);
}

Response refused(std::string body) {
    Response response = Response::text(401, std::move(body));
    response.headers.emplace_back("Cache-Control", "no-store");
    return response;
}

std::optional<Response> staff_gate(StaffStore& store, const AccountPolicy& policy, Request& request) {
    const std::optional<std::string> cookies = request.header ? request.header("Cookie") : std::nullopt;
    const std::optional<std::string> cookie = cookies ? cookie_value(*cookies, SESSION_COOKIE) : std::nullopt;
    if (cookie) {
        request.principal = session_of(store, *cookie, Clock::now(), policy);
        if (request.principal) return std::nullopt;
    }
    // Only a page can be gone back to; a form sent without a session is not sent again.
    if (request.method == "GET" || request.method == "HEAD")
        return Response::redirect(std::string(SIGN_IN_PATH) + "?next=" + percent_encoded(asked_for(request), false));
    return refused("sign in first\n");
}

std::optional<Response> token_gate(StaffStore& store, Request& request) {
    if (const std::optional<std::string> token = bearer_token(request)) {
        if (std::optional<ApiToken> found = store.find_token(token_key(*token))) {
            request.principal = Principal{std::move(found->name), {}, {}, found->roles};
            return std::nullopt;
        }
    }
    Response response = refused("a known API token is needed\n");
    response.headers.emplace_back("WWW-Authenticate", "Bearer");
    return response;
}

// Someone known, but without any of the route's roles: a page says so (with the links they may follow), the
// API in a line.
Response forbidden(const Route& route, const Request& request) {
    if (route.access == Access::Token) return Response::text(403, "this token's roles do not include this\n");
    return message_page(403, "Not for your role", "Your role does not include this page.", request);
}

std::optional<Response> known_caller(StaffStore& store, const AccountPolicy& policy, const Route& route,
                                     Request& request) {
    if (route.access == Access::Staff) return staff_gate(store, policy, request);
    if (route.access == Access::Token) return token_gate(store, request);
    return refused("not a guarded route\n"); // the server asks only for those two: refuse the unexpected
}

std::optional<Response> decide(StaffStore& store, const AccountPolicy& policy, const Route& route, Request& request) {
    try {
        if (std::optional<Response> refusal = known_caller(store, policy, route, request)) return refusal;
        if (!request.principal || !request.principal->roles.meets(route.roles)) return forbidden(route, request);
        return std::nullopt;
    } catch (const std::exception& error) {
        // A store that cannot answer is the server's trouble, not the caller's: logged, answered 503.
        write_log_line(std::string("lumresults: gate: ") + error.what());
        return Response::text(503, "the store cannot answer now\n");
    }
}

} // namespace

Gate make_gate(StaffStore& store, AccountPolicy policy) {
    return [&store, policy](const Route& route, Request& request) -> std::optional<Response> {
        std::optional<Response> refusal = decide(store, policy, route, request);
        if (refusal) add_page_headers(*refusal);
        return refusal;
    };
}

} // namespace lumresults::dashboard
