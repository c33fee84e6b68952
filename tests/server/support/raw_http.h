// tests/server/support/raw_http.h: a bare HTTP/1.1 client over a loopback socket, able to misbehave on purpose.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/process/posix/unique_fd.h"

namespace lum::server_testing {

using Milliseconds = std::chrono::milliseconds;

struct HttpResponse {
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers; // in the order sent, names as sent
    std::string body;

    // The first header of that name (compared without regard to case).
    std::optional<std::string> header(std::string_view name) const;
};

// One TCP connection to 127.0.0.1, from 127.0.0.1 or another loopback address (or to ::1, from an IPv6 address on
// loopback). Every wait is bounded, so a server that hangs fails a test instead of hanging it.
class RawConnection {
public:
    // Nothing when the connection cannot be made (no server listening, say).
    static std::optional<RawConnection> open(int port, std::string_view from = "127.0.0.1");

    // False when the peer has gone; never raises SIGPIPE.
    bool send_all(std::string_view bytes);
    // Reads one whole response; nothing when the connection ends or fails first or `limit` passes.
    // A response to HEAD has no body whatever its Content-Length says.
    std::optional<HttpResponse> read_response(Milliseconds limit, bool to_head = false);
    // True once the peer has closed the connection (end of stream or reset) within `limit`; any bytes
    // it sends meanwhile are read and dropped.
    bool closed_by_peer(Milliseconds limit);

private:
    explicit RawConnection(UniqueFd socket) : socket_(std::move(socket)) {}
    // Appends what arrives to buffer_ and gives its size; 0 at end of stream, -1 on error (a reset), -2 when
    // `deadline` passes first.
    long receive(std::chrono::steady_clock::time_point deadline);
    bool receive_until(std::size_t size, std::chrono::steady_clock::time_point deadline);

    UniqueFd socket_;
    std::string buffer_;
};

// The upload body exactly as the program writes it around a report.
std::string program_upload_body(std::string_view report);
// A POST of `body` to the upload path with the given Content-Type (the program's by default).
std::string upload_request(std::string_view body,
                           std::string_view content_type = "multipart/form-Data; boundary=FILEUPLOAD");
// A request of one method and path with no body, ending the connection after the answer.
std::string simple_request(std::string_view method, std::string_view path);

// Opens, sends, reads one response; nothing when any step fails.
std::optional<HttpResponse> exchange(int port, std::string_view request, Milliseconds limit = Milliseconds(10000),
                                     bool to_head = false, std::string_view from = "127.0.0.1");

// The id of an "OK <id>" acknowledgement (a line end after it allowed); nothing for any other body.
std::optional<long long> acknowledged_id(const HttpResponse& response);

} // namespace lum::server_testing
