// runtime/net/url.cpp: URL parts by plain, case-sensitive searches for "://", "@", ":", "/", "?", "#", "&" and "=".
#include "runtime/net/url.h"

#include <cctype>
#include <cstdlib>

namespace lum {
namespace {

constexpr std::size_t NONE = std::string_view::npos;

std::optional<std::string> part_between(std::string_view url, std::size_t begin, std::size_t end) {
    if (begin == NONE || begin >= url.size()) return std::nullopt;
    if (end == NONE || end > url.size()) end = url.size();
    if (end <= begin) return std::nullopt;
    return std::string(url.substr(begin, end - begin));
}

std::size_t after_scheme(std::string_view url) {
    const std::size_t scheme = url.find("://");
    return scheme == NONE ? NONE : scheme + 3;
}

// The host starts after "://", or after the first "@" that follows it.
std::size_t host_start(std::string_view url) {
    const std::size_t start = after_scheme(url);
    if (start == NONE) return NONE;
    const std::size_t at = url.find('@', start);
    return at == NONE ? start : at + 1;
}

std::size_t first_of_either(std::string_view url, char a, char b, std::size_t from) {
    const std::size_t first = url.find(a, from);
    const std::size_t second = url.find(b, from);
    return first < second ? first : second;
}

std::size_t path_start(std::string_view url) {
    const std::size_t start = after_scheme(url);
    const std::size_t slash = start == NONE ? NONE : url.find('/', start);
    return slash == NONE ? NONE : slash + 1;
}

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string> url_part(std::string_view url, UrlPart part) {
    const std::size_t host = host_start(url);
    switch (part) {
    case UrlPart::Host:
        return host == NONE ? std::nullopt : part_between(url, host, first_of_either(url, ':', '/', host));
    case UrlPart::Port: {
        const std::size_t colon = host == NONE ? NONE : url.find(':', host);
        return colon == NONE ? std::nullopt : part_between(url, colon + 1, url.find('/', colon + 1));
    }
    case UrlPart::Path: {
        const std::size_t start = path_start(url);
        return start == NONE ? std::nullopt : part_between(url, start, url.find('?', start));
    }
    case UrlPart::PathAndQuery: return part_between(url, path_start(url), NONE);
    }
    return std::nullopt;
}

std::int32_t url_port_number(std::string_view url) {
    const std::optional<std::string> port = url_part(url, UrlPart::Port);
    return port ? std::atoi(port->c_str()) : 80;
}

std::optional<std::string> url_query(std::string_view url) {
    const std::size_t question = url.find('?');
    if (question == NONE) return std::nullopt;
    return part_between(url, question + 1, url.find('#', question + 1));
}

// Pairs of a name, "=" and a value after the first "?", separated by one or more "&".
std::optional<std::string> url_parameter(std::string_view url, std::string_view name) {
    const std::size_t question = url.find('?');
    if (question == NONE) return std::nullopt;
    for (std::size_t pair = question + 1; pair < url.size();) {
        const std::size_t next = url.find('&', pair);
        const std::size_t equals = url.find('=', pair);
        if (equals != NONE && (next == NONE || equals < next) && same_name(url.substr(pair, equals - pair), name)) {
            const std::size_t end = next != NONE ? next : url.find('#', equals + 1);
            return part_between(url, equals + 1, end);
        }
        if (next == NONE) break;
        pair = next + 1;
    }
    return std::nullopt;
}

std::optional<std::string> url_fragment(std::string_view url) {
    const std::size_t hash = url.find('#');
    return hash == NONE ? std::nullopt : part_between(url, hash + 1, NONE);
}

// The user name runs from "://" to a ":" before the first "@", or to the "@" itself.
std::optional<std::string> url_user(std::string_view url) {
    const std::size_t start = after_scheme(url);
    const std::size_t at = start == NONE ? NONE : url.find('@', start);
    if (at == NONE) return std::nullopt;
    const std::size_t colon = url.find(':', start);
    return part_between(url, start, colon < at ? colon : at);
}

std::optional<std::string> url_password(std::string_view url) {
    const std::size_t start = after_scheme(url);
    const std::size_t at = start == NONE ? NONE : url.find('@', start);
    const std::size_t colon = start == NONE ? NONE : url.find(':', start);
    if (at == NONE || colon == NONE || colon > at) return std::nullopt;
    return part_between(url, colon + 1, at);
}

} // namespace lum
