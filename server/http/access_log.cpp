// server/http/access_log.cpp: the access log's lines, written whole.
#include "server/http/access_log.h"

#include <unistd.h>

#include "server/http/time_text.h"

namespace lumresults {
namespace {

// The path is the client's: bytes that could forge a line or a terminal sequence are shown as \xNN.
std::string printable(std::string_view text) {
    static constexpr char HEX[] = "0123456789abcdef";
    std::string shown;
    for (unsigned char byte : text) {
        if (byte >= 0x20 && byte < 0x7f && byte != '"' && byte != '\\') {
            shown += static_cast<char>(byte);
        } else {
            shown += "\\x";
            shown += HEX[byte >> 4];
            shown += HEX[byte & 15];
        }
    }
    return shown;
}

} // namespace

void write_log_line(std::string_view line) {
    std::string whole(line);
    whole += '\n';
    // A log that cannot be written is no reason to stop serving.
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, whole.data(), whole.size());
}

void write_access_line(const Request& request, std::string_view version, unsigned status, std::uint64_t bytes,
                       std::chrono::steady_clock::duration elapsed) {
    std::string target = request.path;
    for (std::size_t i = 0; i < request.query_keys.size(); ++i)
        target += (i == 0 ? "?" : "&") + request.query_keys[i];
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    write_log_line(log_time_now() + " " + format_address(request.caller) + " \"" + printable(request.method) + " " +
                   printable(target) + " " + printable(version) + "\" " + std::to_string(status) + " " +
                   std::to_string(bytes) + " " + std::to_string(ms) + "ms");
}

} // namespace lumresults
