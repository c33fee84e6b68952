// tests/process/runner_child.cpp: a child for the runner's tests: writes exactly the bytes and pauses it is told to.
//
// Its arguments are a script of actions, run in order:
//   out BYTES      write BYTES to standard output in one write ("%0D" style escapes for any byte)
//   err BYTES      the same on standard error
//   sleep MS       pause
//   lines N LEN B  N lines of LEN bytes each (the last one LF), written in blocks of B bytes
//   copy           copy standard input to standard output until it ends
//   to PATH        send standard output to a new file from here on
//   append PATH    send standard output to the end of a file from here on
//   cwd            write the current folder and LF
//   cmdline        write the command line as received and LF (Windows only; "" elsewhere)
//   startup        write how the child was asked to show itself and LF (Windows only)
//   pid PATH       write the process id into a new file
//   close          close standard output
//   args           write each remaining argument as "[arg]" and LF, and stop
//   exit CODE      stop with that exit code
//
// Started under any other name than its own (copied as a stand-in tool), it writes the folder it
// runs in and its arguments as "[arg]" lines into the file that LUMTEST_RECORD names.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "child_platform.h"

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string unescape(std::string_view text) {
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 2 < text.size() && hex_value(text[at + 1]) >= 0 && hex_value(text[at + 2]) >= 0) {
            bytes += static_cast<char>(hex_value(text[at + 1]) * 16 + hex_value(text[at + 2]));
            at += 2;
        } else {
            bytes += text[at];
        }
    }
    return bytes;
}

void put(std::FILE* stream, const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

// Written the way a tool's buffered standard output writes: in blocks of one size, lines cut anywhere.
void write_lines(long count, long length, std::size_t block_size) {
    const std::string line = std::string(static_cast<std::size_t>(length > 0 ? length - 1 : 0), 'x') + "\n";
    std::string pending;
    for (long written = 0; written < count; ++written) {
        pending += line;
        std::size_t at = 0;
        for (; pending.size() - at >= block_size; at += block_size)
            put(stdout, pending.substr(at, block_size));
        pending.erase(0, at);
    }
    put(stdout, pending);
}

void copy_input() {
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof(buffer), stdin)) > 0) {
        std::fwrite(buffer, 1, got, stdout);
        std::fflush(stdout);
    }
}

void write_pid(const char* path) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return;
    std::fprintf(file, "%d\n", lum::child::process_id());
    std::fclose(file);
}

int record_call(int argc, char** argv) {
    const char* record = std::getenv("LUMTEST_RECORD");
    std::FILE* file = record != nullptr ? std::fopen(record, "wb") : nullptr;
    if (file == nullptr) return 3;
    std::fprintf(file, "%s\n", std::filesystem::current_path().string().c_str());
    for (int at = 1; at < argc; ++at)
        std::fprintf(file, "[%s]\n", argv[at]);
    std::fclose(file);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    lum::child::use_binary_streams();
    if (argc > 0 && std::filesystem::path(argv[0]).stem() != "runner_child") return record_call(argc, argv);
    const std::vector<std::string> words(argv + 1, argv + argc);
    for (std::size_t at = 0; at < words.size(); ++at) {
        const std::string& action = words[at];
        const bool has_value = at + 1 < words.size();
        if (action == "out" && has_value)
            put(stdout, unescape(words[++at]));
        else if (action == "err" && has_value)
            put(stderr, unescape(words[++at]));
        else if (action == "sleep" && has_value)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(words[++at].c_str())));
        else if (action == "lines" && at + 3 < words.size()) {
            const long block = std::atol(words[at + 3].c_str());
            write_lines(std::atol(words[at + 1].c_str()), std::atol(words[at + 2].c_str()),
                        static_cast<std::size_t>(block > 0 ? block : 1));
            at += 3;
        } else if (action == "copy")
            copy_input();
        else if (action == "to" && has_value)
            (void)std::freopen(words[++at].c_str(), "wb", stdout);
        else if (action == "append" && has_value)
            (void)std::freopen(words[++at].c_str(), "ab", stdout);
        else if (action == "cwd")
            put(stdout, std::filesystem::current_path().string() + "\n");
        else if (action == "cmdline")
            put(stdout, lum::child::command_line() + "\n");
        else if (action == "startup")
            put(stdout, lum::child::startup_state() + "\n");
        else if (action == "pid" && has_value)
            write_pid(words[++at].c_str());
        else if (action == "close")
            std::fclose(stdout);
        else if (action == "exit" && has_value)
            return std::atoi(words[at + 1].c_str());
        else if (action == "args") {
            for (++at; at < words.size(); ++at)
                put(stdout, "[" + words[at] + "]\n");
        } else {
            std::fprintf(stderr, "runner_child: unknown action %s\n", action.c_str());
            return 2;
        }
    }
    return 0;
}
