// server/http/access_log.cpp: the access log's lines, written whole.
#include "server/http/access_log.h"

#include <unistd.h>

#include "server/http/time_text.h"

namespace lumresults {
namespace {

// The path is the client's: bytes that could forge a line or a terminal sequence are shown as \xNN.
void append_printable(std::string& line, std::string_view text) {
    static constexpr char HEX[] = "0123456789abcdef";
    for (unsigned char byte : text) {
        if (byte >= 0x20 && byte < 0x7f && byte != '"' && byte != '\\') {
            line += static_cast<char>(byte);
        } else {
            line += "\\x";
            line += HEX[byte >> 4];
            line += HEX[byte & 15];
        }
    }
}

// A log that cannot be written is no reason to stop serving.
void write_whole(std::string_view line_with_end) {
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line_with_end.data(), line_with_end.size());
}

} // namespace

void write_log_line(std::string_view line) {
    std::string whole(line);
    whole += '\n';
    write_whole(whole);
}

// Built in one buffer: this runs for every request, the public-address lookups' many among them.
void write_access_line(const Request& request, std::string_view version, unsigned status, std::uint64_t bytes,
                       std::chrono::steady_clock::duration elapsed) {
    std::string line;
    line.reserve(96 + request.path.size());
    line += log_time_now();
    line += ' ';
    line += format_address(request.caller);
    line += " \"";
    append_printable(line, request.method);
    line += ' ';
    append_printable(line, request.path);
    for (std::size_t i = 0; i < request.query_keys.size(); ++i) {
        line += i == 0 ? '?' : '&';
        append_printable(line, request.query_keys[i]);
    }
    line += ' ';
    append_printable(line, version);
    line += "\" ";
    line += std::to_string(status);
    line += ' ';
    line += std::to_string(bytes);
    line += ' ';
    line += std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
    line += "ms\n";
    write_whole(line);
}

} // namespace lumresults
