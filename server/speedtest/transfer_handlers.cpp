// server/speedtest/transfer_handlers.cpp: the bytes the page measures with: a ping, downloads of random data
// and uploads counted on the server's own clock.
//
// The page's rates come from what the server saw, never from the browser's own progress counts, which
// report bytes handed to the network stack rather than bytes that crossed the line.
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <string>

#include <nlohmann/json.hpp>

#include "server/speedtest/handlers.h"

namespace lumresults::speedtest {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::uint64_t DEFAULT_DOWNLOAD_BYTES = 64ull * 1024 * 1024;

// Nothing on the way may keep, compress or transform what is measured.
void add_transfer_headers(Response& response) {
    response.headers.emplace_back("Cache-Control", "no-store");
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
}

std::optional<std::uint64_t> download_size(const Request& request) {
    const std::optional<std::string> text = request.query_value("bytes");
    if (!text) return DEFAULT_DOWNLOAD_BYTES;
    std::uint64_t size = 0;
    const auto [end, fault] = std::from_chars(text->data(), text->data() + text->size(), size);
    if (fault != std::errc{} || end != text->data() + text->size() || size < 1 || size > MOST_TRANSFER_BYTES)
        return std::nullopt;
    return size;
}

// The random file's bytes from `offset` onwards, starting again at its beginning after its end: random
// enough that no compression shrinks them, and no more memory than the file already takes.
std::size_t fill_from(const SharedBody& random, std::uint64_t offset, char* into, std::size_t room) {
    const std::uint64_t at = offset % random.size;
    const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(room, random.size - at));
    const ssize_t read = ::pread(random.fd, into, piece, static_cast<off_t>(at));
    return read > 0 ? static_cast<std::size_t>(read) : 0;
}

double ms_since(SteadyClock::time_point started, SteadyClock::time_point time) {
    return std::chrono::duration<double, std::milli>(time - started).count();
}

// Drops the body, keeping only its length, its first piece's, and when its first and last pieces came in.
class UploadCounter final : public BodyReceiver {
public:
    UploadCounter(const Request& request, SteadyClock::time_point started)
        : declared_(request.content_length), started_(started) {}

    std::optional<Response> refusal() override {
        if (declared_ && *declared_ > MOST_TRANSFER_BYTES) return too_large();
        return std::nullopt;
    }
    std::optional<Response> feed(std::string_view bytes) override {
        const SteadyClock::time_point now = SteadyClock::now();
        if (count_ == 0) {
            first_ = now;
            first_bytes_ = bytes.size();
        }
        last_ = now;
        count_ += bytes.size();
        if (count_ > MOST_TRANSFER_BYTES) return too_large();
        return std::nullopt;
    }
    Response finish() override {
        if (count_ == 0) first_ = last_ = SteadyClock::now();
        // The first piece came in by first_ms, not after it: only the rest came in over first_ms..last_ms.
        const nlohmann::json answer{{"bytes", count_},
                                    {"first_bytes", first_bytes_},
                                    {"first_ms", ms_since(started_, first_)},
                                    {"last_ms", ms_since(started_, last_)}};
        Response response = Response::text(200, answer.dump() + "\n", "application/json");
        add_transfer_headers(response);
        return response;
    }

private:
    static Response too_large() {
        Response response = Response::text(413, "an upload may hold at most 268435456 bytes\n");
        add_transfer_headers(response);
        return response;
    }

    std::optional<std::uint64_t> declared_;
    SteadyClock::time_point started_;
    std::uint64_t count_ = 0;
    std::uint64_t first_bytes_ = 0;
    SteadyClock::time_point first_;
    SteadyClock::time_point last_;
};

} // namespace

Response ping(const Request&) {
    Response response = Response::text(200, "pong\n");
    add_transfer_headers(response);
    return response;
}

Response download(SpeedTestSite& site, const Request& request) {
    const std::optional<std::uint64_t> size = download_size(request);
    if (!size) return Response::text(400, "bytes must be a number from 1 to 268435456\n");
    Response response;
    response.headers.emplace_back("Content-Type", "application/octet-stream");
    response.headers.emplace_back("Content-Encoding", "identity");
    add_transfer_headers(response);
    // The body keeps the random file open for as long as the library sends it.
    response.streamed_body =
        StreamedBody{*size, [random = site.random](std::uint64_t offset, char* into, std::size_t room) {
                         return fill_from(*random, offset, into, room);
                     }};
    return response;
}

std::unique_ptr<BodyReceiver> receive_upload(SpeedTestSite& site, const Request& request) {
    return std::make_unique<UploadCounter>(request, site.started);
}

} // namespace lumresults::speedtest
