// server/http/cross_site.cpp: a request's Origin and Sec-Fetch-Site against its Host.
#include "server/http/cross_site.h"

#include <algorithm>
#include <cctype>

#include "server/common/blanks.h"

namespace lumresults {
namespace {

bool same_letters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// "host:port" or "[::1]:port" without its port.
std::string_view without_port(std::string_view authority) {
    if (!authority.empty() && authority.front() == '[') return authority.substr(0, authority.find(']') + 1);
    return authority.substr(0, authority.find(':'));
}

bool same_host(std::string_view origin, std::string_view host) {
    for (const std::string_view scheme : {"http://", "https://"}) {
        if (!origin.starts_with(scheme)) continue;
        const std::string_view a = without_port(origin.substr(scheme.size()));
        return !a.empty() && same_letters(a, without_port(host));
    }
    return false;
}

} // namespace

bool from_another_site(const Request& request) {
    if (!request.header) return false;
    const std::optional<std::string> fetch_site = request.header("Sec-Fetch-Site");
    if (fetch_site && same_letters(trim_blanks(*fetch_site), "cross-site")) return true;
    const std::optional<std::string> origin = request.header("Origin");
    return origin && !same_host(trim_blanks(*origin), trim_blanks(request.header("Host").value_or("")));
}

} // namespace lumresults
