// tests/server/support/staff_client.cpp: the forms and cookies a browser would send to the dashboard.
#include "staff_client.h"

#include <strings.h>

#include <cctype>
#include <regex>

namespace lum::server_testing {
namespace {

// Spaces as '+' and every byte outside letters and digits as %XX, as a browser encodes a form.
std::string form_encoded(std::string_view text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte)) {
            encoded += c;
        } else if (c == ' ') {
            encoded += '+';
        } else {
            encoded += '%';
            encoded += hex[byte >> 4];
            encoded += hex[byte & 15];
        }
    }
    return encoded;
}

} // namespace

std::string form_request(std::string_view method, std::string_view target, std::string_view headers,
                         std::string_view body) {
    std::string text = std::string(method) + " " + std::string(target) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                       std::string(headers) + "Connection: close\r\n";
    if (method != "GET" && method != "HEAD") {
        text += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\n";
    }
    return text + "\r\n" + std::string(body);
}

std::optional<std::string> set_cookie(const HttpResponse& response, std::string_view name) {
    for (const auto& [key, value] : response.headers)
        if (strcasecmp(key.c_str(), "Set-Cookie") == 0 && value.starts_with(std::string(name) + "="))
            return value.substr(name.size() + 1, value.find(';') - name.size() - 1);
    return std::nullopt;
}

std::string csrf_field(const std::string& page) {
    std::smatch found;
    if (std::regex_search(page, found, std::regex(R"re(<input[^>]*name="csrf"[^>]*value="([^"]*)")re")) ||
        std::regex_search(page, found, std::regex(R"re(<input[^>]*value="([^"]*)"[^>]*name="csrf")re")))
        return found[1];
    return {};
}

std::string session_cookie(std::string_view value) {
    return "Cookie: lumresults_session=" + std::string(value) + "\r\n";
}

HttpResponse send_to(int port, const std::string& text, bool to_head) {
    return exchange(port, text, Milliseconds(10000), to_head).value_or(HttpResponse{});
}

HttpResponse post_sign_in(int port, std::string_view user, std::string_view password, std::string_view planted) {
    const HttpResponse page = send_to(port, form_request("GET", "/support/sign-in?next=/support/"));
    const std::string form_cookie = set_cookie(page, "lumresults_signin").value_or("");
    std::string cookies = "Cookie: lumresults_signin=" + form_cookie;
    if (!planted.empty()) cookies += "; lumresults_session=" + std::string(planted);
    return send_to(port, form_request("POST", "/support/sign-in", cookies + "\r\n",
                                      "user=" + form_encoded(user) + "&password=" + form_encoded(password) +
                                          "&csrf=" + form_cookie + "&next=%2Fsupport%2F"));
}

} // namespace lum::server_testing
