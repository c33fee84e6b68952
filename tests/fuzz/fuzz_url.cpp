// tests/fuzz/fuzz_url.cpp: URL parts and the HEAD request built from them.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/net/http_request.h"
#include "runtime/net/url.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/naive_reference.h"

namespace lum::fuzz {
namespace {

constexpr std::size_t NONE = std::string_view::npos;

// The bytes from `begin` up to `end` (NONE: to the end of the URL); nothing when that is empty.
std::optional<std::string> between(std::string_view url, std::size_t begin, std::size_t end) {
    if (begin == NONE || begin >= url.size()) return std::nullopt;
    const std::string_view part = url.substr(begin, end == NONE ? NONE : end - begin);
    if (part.empty()) return std::nullopt;
    return std::string(part);
}

std::size_t find_from(std::string_view url, char c, std::size_t from) {
    return from == NONE ? NONE : url.find(c, from);
}

// The positions every part is measured from, each found by one plain search.
struct Marks {
    std::size_t scheme_end = NONE; // after "://"
    std::size_t at = NONE;         // the first "@" after it
    std::size_t host = NONE;
    std::size_t slash = NONE; // the first "/" after "://"
};

Marks marks_of(std::string_view url) {
    Marks marks;
    const std::size_t scheme = url.find("://");
    if (scheme == NONE) return marks;
    marks.scheme_end = scheme + 3;
    marks.at = url.find('@', marks.scheme_end);
    marks.host = marks.at == NONE ? marks.scheme_end : marks.at + 1;
    marks.slash = url.find('/', marks.scheme_end);
    return marks;
}

void check_address_parts(std::string_view url) {
    const Marks m = marks_of(url);
    const std::size_t host_end = std::min(find_from(url, ':', m.host), find_from(url, '/', m.host));
    require(url_part(url, UrlPart::Host) == between(url, m.host, host_end), "host");
    const std::size_t colon = find_from(url, ':', m.host);
    const auto port = colon == NONE ? std::nullopt : between(url, colon + 1, url.find('/', colon + 1));
    require(url_part(url, UrlPart::Port) == port, "port");
    const std::size_t path = m.slash == NONE ? NONE : m.slash + 1;
    require(url_part(url, UrlPart::Path) == between(url, path, find_from(url, '?', path)), "path");
    require(url_part(url, UrlPart::PathAndQuery) == between(url, path, NONE), "path and query");
    // The port's leading digits, when they are few enough to fit; longer ones are the C library's affair.
    const long number = port ? std::strtol(port->c_str(), nullptr, 10) : 80;
    if (!port || port->size() < 10) require(url_port_number(url) == number, "port number");
}

void check_credentials(std::string_view url) {
    const Marks m = marks_of(url);
    const std::size_t colon = find_from(url, ':', m.scheme_end);
    const bool has_password = m.at != NONE && colon < m.at;
    require(url_user(url) == (m.at == NONE ? std::nullopt : between(url, m.scheme_end, has_password ? colon : m.at)),
            "user");
    require(url_password(url) == (has_password ? between(url, colon + 1, m.at) : std::nullopt), "password");
}

// Pairs after the first "?" are cut at every "&"; the first pair whose name (before its first "=") equals
// `name` without case gives its value, which in the last pair stops at a "#".
std::optional<std::string> reference_parameter(std::string_view url, std::string_view name) {
    const std::size_t question = url.find('?');
    if (question == NONE) return std::nullopt;
    const std::vector<std::string> pairs = naive_fields(url.substr(question + 1), "&");
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const std::size_t equals = pairs[i].find('=');
        if (equals == NONE || ascii_lower(pairs[i].substr(0, equals)) != ascii_lower(name)) continue;
        const std::string_view value = std::string_view(pairs[i]).substr(equals + 1);
        const bool last = i + 1 == pairs.size();
        return between(value, 0, last ? value.find('#') : NONE);
    }
    return std::nullopt;
}

void check_query_parts(std::string_view url, std::string_view name) {
    const std::size_t question = url.find('?');
    const auto query = question == NONE ? std::nullopt : between(url, question + 1, url.find('#', question + 1));
    require(url_query(url) == query, "query");
    const std::size_t hash = url.find('#');
    require(url_fragment(url) == (hash == NONE ? std::nullopt : between(url, hash + 1, NONE)), "fragment");
    require(url_parameter(url, name) == reference_parameter(url, name), "parameter");
}

void check_request(std::string_view path_and_query, std::string_view host) {
    const std::string request = head_request(path_and_query, host);
    const std::string_view line_end = " HTTP/1.1\r\nAccept: */*\r\nHost: ";
    require(request.size() == 6 + path_and_query.size() + line_end.size() + host.size() + 4, "request size");
    std::string expected = "HEAD /";
    expected.append(path_and_query).append(line_end).append(host).append("\r\n\r\n");
    require(request == expected, "request text");
}

} // namespace
} // namespace lum::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace lum::fuzz;
    FuzzedDataProvider data(bytes, size);
    const std::string name = data.ConsumeRandomLengthString(16);
    const std::string other = data.ConsumeRandomLengthString(size);
    const std::string url = data.ConsumeRemainingBytesAsString();
    check_address_parts(url);
    check_credentials(url);
    check_query_parts(url, name);
    // As the header fetch builds it, and with arbitrary texts in both places.
    check_request(lum::url_part(url, lum::UrlPart::PathAndQuery).value_or(""),
                  lum::url_part(url, lum::UrlPart::Host).value_or(""));
    check_request(url, other);
    return 0;
}
