// tests/lab/stand_in/wget.cpp: the download tool's two forms: the recorded log written after "-o", and the upload as a
// real POST.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "tests/lab/stand_in/loopback_socket.h"
#include "tests/lab/stand_in/platform.h"
#include "tests/lab/stand_in/stand_in.h"

namespace lum::lab {
namespace {

using Arguments = std::vector<std::string>;

std::optional<std::string> argument_after(const Arguments& arguments, std::string_view flag) {
    for (std::size_t at = 0; at + 1 < arguments.size(); ++at) {
        if (arguments[at] == flag) return arguments[at + 1];
    }
    return std::nullopt;
}

// The rest of every argument that begins with `prefix`, in order.
Arguments values_after_prefix(const Arguments& arguments, std::string_view prefix) {
    Arguments values;
    for (const std::string& argument : arguments) {
        if (argument.compare(0, prefix.size(), prefix) == 0) values.push_back(argument.substr(prefix.size()));
    }
    return values;
}

// The log path may be relative: opened as it is, it is taken from the current folder, as the tool would.
void copy_download_log(const Call& call, const std::string& log_path) {
    const std::optional<std::string> log = recorded_file(call, "log");
    if (!log) return;
    std::ofstream out(local_path(log_path), std::ios::binary | std::ios::trunc);
    out.write(log->data(), static_cast<std::streamsize>(log->size()));
    if (!out.flush()) std::fprintf(stderr, "wget (stand-in): cannot write the log %s\n", log_path.c_str());
}

// "http://host/path": the Host header names the host as the URL spells it, and the request line its path.
std::string post_request(const Arguments& arguments, const std::string& body) {
    const Arguments urls = values_after_prefix(arguments, "http://");
    const std::string rest = urls.empty() ? std::string() : urls.front();
    const std::size_t slash = rest.find('/');
    const std::string host = rest.substr(0, slash);
    const std::string path = slash == std::string::npos ? "/" : rest.substr(slash);
    std::string request = "POST " + path + " HTTP/1.0\r\nHost: " + host + "\r\n";
    for (const std::string& header : values_after_prefix(arguments, "--header="))
        request += header + "\r\n";
    return request + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The answer is read and thrown away, as the real tool's "-qONUL" does; a silent server cannot keep
// the stand-in alive for longer than the bound.
bool post_to(const LoopbackAddress& server, const std::string& request) {
    const SocketLibrary sockets;
    if (!sockets.ready()) return false;
    const Socket connection = connect_to(server);
    if (!connection || !send_all(connection, request)) return false;
    std::string answer;
    while (wait_readable(connection, 10000) && receive_some(connection, answer))
        answer.clear();
    return true;
}

// Nothing leaves this process unless a test names its own loopback server; the URL's host name is
// never looked up.
void post_upload(const Call& call, const std::string& post_file) {
    const char* server = std::getenv("LUMTEST_RESULTS_SERVER");
    if (server == nullptr || *server == '\0') return;
    const std::optional<LoopbackAddress> address = parse_loopback_address(server);
    const std::optional<std::string> body = read_whole_file(local_path(post_file));
    if (!address) {
        std::fprintf(stderr, "wget (stand-in): %s is not a loopback address and port; nothing sent\n", server);
    } else if (!body) {
        std::fprintf(stderr, "wget (stand-in): cannot read %s; nothing sent\n", post_file.c_str());
    } else if (!post_to(*address, post_request(call.arguments, *body))) {
        std::fprintf(stderr, "wget (stand-in): the post to %s failed\n", server);
    }
}

} // namespace

void play_wget(const Call& call) {
    const Arguments post_files = values_after_prefix(call.arguments, "--post-file=");
    if (!post_files.empty()) {
        post_upload(call, post_files.front());
    } else if (const std::optional<std::string> log_path = argument_after(call.arguments, "-o")) {
        copy_download_log(call, *log_path);
    }
}

} // namespace lum::lab
