// tests/server/support/raw_http.cpp: the bare HTTP client: sockets, bounded reads, and just enough parsing.
#include "raw_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>

namespace lum::server_testing {
namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr long TIMED_OUT = -2;

bool same_name(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::tolower((unsigned char)x) == std::tolower((unsigned char)y); });
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return std::string(text);
}

// The status line and header lines of a response head (without its final blank line).
std::optional<HttpResponse> parse_head(std::string_view head) {
    HttpResponse response;
    std::size_t line_end = head.find("\r\n");
    const std::string_view status_line = head.substr(0, line_end);
    if (status_line.size() < 12 || status_line.substr(0, 5) != "HTTP/") return std::nullopt;
    const std::string_view code = status_line.substr(9, 3);
    if (std::from_chars(code.data(), code.data() + 3, response.status).ec != std::errc()) return std::nullopt;
    while (line_end != std::string_view::npos) {
        const std::size_t begin = line_end + 2;
        line_end = head.find("\r\n", begin);
        const std::string_view line = head.substr(begin, line_end - begin);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        response.headers.emplace_back(std::string(line.substr(0, colon)), trimmed(line.substr(colon + 1)));
    }
    return response;
}

} // namespace

std::optional<std::string> HttpResponse::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (same_name(key, name)) return value;
    return std::nullopt;
}

std::optional<RawConnection> RawConnection::open(int port, std::string_view from) {
    // From an IPv6 address, to ::1 (the server then listens on both, "[::]:PORT").
    const bool v6 = from.find(':') != std::string_view::npos;
    UniqueFd socket(::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_storage source{}, address{};
    socklen_t size = sizeof(sockaddr_in);
    if (v6) {
        auto& source6 = reinterpret_cast<sockaddr_in6&>(source);
        auto& address6 = reinterpret_cast<sockaddr_in6&>(address);
        source6.sin6_family = address6.sin6_family = AF_INET6;
        address6.sin6_port = htons(static_cast<std::uint16_t>(port));
        address6.sin6_addr = in6addr_loopback;
        size = sizeof(sockaddr_in6);
        if (inet_pton(AF_INET6, std::string(from).c_str(), &source6.sin6_addr) != 1) return std::nullopt;
    } else {
        auto& source4 = reinterpret_cast<sockaddr_in&>(source);
        auto& address4 = reinterpret_cast<sockaddr_in&>(address);
        source4.sin_family = address4.sin_family = AF_INET;
        address4.sin_port = htons(static_cast<std::uint16_t>(port));
        address4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (inet_pton(AF_INET, std::string(from).c_str(), &source4.sin_addr) != 1) return std::nullopt;
    }
    if (!socket || bind(socket.get(), reinterpret_cast<sockaddr*>(&source), size) != 0) return std::nullopt;
    if (connect(socket.get(), reinterpret_cast<sockaddr*>(&address), size) != 0) return std::nullopt;
    return RawConnection(std::move(socket));
}

bool RawConnection::send_all(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = send(socket_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

long RawConnection::receive(SteadyClock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<Milliseconds>(deadline - SteadyClock::now()).count();
        if (left <= 0) return TIMED_OUT;
        pollfd ready{socket_.get(), POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left)) <= 0) continue;
        char chunk[65536];
        const ssize_t got = recv(socket_.get(), chunk, sizeof chunk, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got > 0) buffer_.append(chunk, static_cast<std::size_t>(got));
        return got;
    }
}

bool RawConnection::receive_until(std::size_t size, SteadyClock::time_point deadline) {
    while (buffer_.size() < size)
        if (receive(deadline) <= 0) return false;
    return true;
}

std::optional<HttpResponse> RawConnection::read_response(Milliseconds limit, bool to_head) {
    const auto deadline = SteadyClock::now() + limit;
    std::size_t head_end;
    while ((head_end = buffer_.find("\r\n\r\n")) == std::string::npos)
        if (receive(deadline) <= 0) return std::nullopt;
    auto response = parse_head(std::string_view(buffer_).substr(0, head_end));
    buffer_.erase(0, head_end + 4);
    if (!response) return std::nullopt;
    if (to_head || response->status == 204 || response->status == 304 || response->status < 200) return response;
    if (const auto length = response->header("Content-Length")) {
        const std::size_t size = std::stoull(*length);
        if (!receive_until(size, deadline)) return std::nullopt;
        response->body = buffer_.substr(0, size);
        buffer_.erase(0, size);
        return response;
    }
    // Neither a length nor a head-only answer: the body runs to the end of the connection.
    for (long got; (got = receive(deadline)) != 0;)
        if (got < 0) return std::nullopt;
    response->body = std::move(buffer_);
    buffer_.clear();
    return response;
}

bool RawConnection::closed_by_peer(Milliseconds limit) {
    const auto deadline = SteadyClock::now() + limit;
    for (;;) {
        const long got = receive(deadline);
        buffer_.clear();
        if (got == 0) return true;
        if (got == TIMED_OUT) return false;
        if (got < 0) return true; // reset
    }
}

std::string program_upload_body(std::string_view report) {
    return "--FILEUPLOAD\r\n"
           "Content-Disposition: form-data; name='userfile'; filename='lumtest.log'\r\n"
           "Content-Type: text/plain\r\n"
           "\r\n" +
           std::string(report) + "\r\n--FILEUPLOAD--\r\n";
}

std::string upload_request(std::string_view body, std::string_view content_type) {
    return "POST /lumnettestresult.php HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\nContent-Type: " +
           std::string(content_type) + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + std::string(body);
}

std::string simple_request(std::string_view method, std::string_view path) {
    return std::string(method) + " " + std::string(path) + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\n" +
           "Connection: close\r\n\r\n";
}

std::optional<HttpResponse> exchange(int port, std::string_view request, Milliseconds limit, bool to_head,
                                     std::string_view from) {
    auto connection = RawConnection::open(port, from);
    if (!connection || !connection->send_all(request)) return std::nullopt;
    return connection->read_response(limit, to_head);
}

std::optional<long long> acknowledged_id(const HttpResponse& response) {
    std::string_view body = response.body;
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r'))
        body.remove_suffix(1);
    if (body.substr(0, 3) != "OK ") return std::nullopt;
    body.remove_prefix(3);
    long long id = 0;
    const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), id);
    if (error != std::errc() || end != body.data() + body.size()) return std::nullopt;
    return id;
}

} // namespace lum::server_testing
