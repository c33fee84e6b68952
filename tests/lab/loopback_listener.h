// tests/lab/loopback_listener.h: a one-request HTTP server on 127.0.0.1 that catches the upload for a test to examine.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/lab/stand_in/loopback_socket.h"

namespace lum::testing_support {

// One HTTP request as it arrived: its first line, its header lines (without line ends) and its body.
struct HttpRequest {
    std::string request_line;
    std::vector<std::string> headers;
    std::string body;
};

// The value of the first header called `name` (compared without case), without the blanks after ":".
inline std::string header_value(const HttpRequest& request, std::string_view name) {
    for (const std::string& header : request.headers) {
        const std::size_t colon = header.find(':');
        if (colon != name.size()) continue;
        const bool same = std::equal(name.begin(), name.end(), header.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
        if (same) return header.substr(std::min(header.find_first_not_of(' ', colon + 1), header.size()));
    }
    return {};
}

// Cuts raw bytes at the first empty line: the lines before it (CR LF each), the body after it.
inline HttpRequest parse_http_request(const std::string& raw) {
    HttpRequest request;
    const std::size_t head_end = raw.find("\r\n\r\n");
    const std::string head = raw.substr(0, head_end);
    request.body = head_end == std::string::npos ? std::string() : raw.substr(head_end + 4);
    for (std::size_t begin = 0; begin <= head.size();) {
        std::size_t end = head.find("\r\n", begin);
        if (end == std::string::npos) end = head.size();
        request.headers.push_back(head.substr(begin, end - begin));
        begin = end + 2;
    }
    request.request_line = request.headers.front();
    request.headers.erase(request.headers.begin());
    return request;
}

// A request is whole once its head has ended and the body holds Content-Length bytes.
inline bool request_complete(const std::string& raw) {
    const std::size_t head_end = raw.find("\r\n\r\n");
    if (head_end == std::string::npos) return false;
    const HttpRequest request = parse_http_request(raw);
    const std::string length = header_value(request, "Content-Length");
    return request.body.size() >= std::strtoul(length.c_str(), nullptr, 10);
}

// Listens from construction; serve_one takes one connection on a thread of its own. Every wait is
// bounded, so a stand-in that never calls cannot hang the test.
class LoopbackListener {
public:
    LoopbackListener() : listener_(lab::listen_on_loopback(port_)) {}
    ~LoopbackListener() {
        if (server_.joinable()) server_.join();
    }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    bool ready() const { return sockets_.ready() && static_cast<bool>(listener_); }
    // "127.0.0.1:port", the form LUMTEST_RESULTS_SERVER takes.
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::uint16_t port() const { return port_; }

    void serve_one() {
        server_ = std::thread([this] { serve(); });
    }
    // Waits for serve_one's thread: the raw request, or "" when no connection came within the bound.
    std::string request() {
        if (server_.joinable()) server_.join();
        return request_;
    }
    // For tests that expect no caller: true when a connection is waiting that nobody has taken.
    bool connection_waiting() const { return lab::wait_readable(listener_, 0); }

private:
    void serve() {
        if (!lab::wait_readable(listener_, 60000)) return;
        const lab::Socket connection = lab::accept_connection(listener_);
        if (!connection) return;
        while (!request_complete(request_) && lab::wait_readable(connection, 30000) &&
               lab::receive_some(connection, request_)) {
        }
        lab::send_all(connection, "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
    }

    lab::SocketLibrary sockets_;
    std::uint16_t port_ = 0;
    lab::Socket listener_;
    std::thread server_;
    std::string request_;
};

} // namespace lum::testing_support
