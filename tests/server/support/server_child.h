// tests/server/support/server_child.h: lumresults run by a test as its child, and its command line run to the end.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lum::server_testing {

// The server binary of this build.
std::string lumresults_program();

// `lumresults serve` on 127.0.0.1 with a port the system picks, its standard error (the listening line and
// the access log) written to a file, so that a busy log can never fill a pipe and stall the server.
// The object owns the process: it is killed and reaped with the object, and with the test process too
// (the child asks for SIGKILL when its parent dies), so no server outlives its test.
class ServerChild {
public:
    // Returns once the server's first line names its port; throws std::runtime_error, with the log,
    // when the server ends first or says nothing within a generous limit. Call it from the thread
    // that lives longest (the test's own): the parent-death signal follows the creating thread.
    ServerChild(const std::filesystem::path& data, const std::vector<std::string>& options,
                const std::filesystem::path& log);
    ~ServerChild();
    ServerChild(const ServerChild&) = delete;
    ServerChild& operator=(const ServerChild&) = delete;

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    const std::filesystem::path& log() const { return log_; }

    // Sudden death: SIGKILL, then reaped.
    void kill_now();
    // SIGTERM and wait; the exit code, or 128 + the signal that ended it (SIGKILL after 30 s without exit).
    int stop();

private:
    int wait_exit(int seconds);
    void await_listening_line();

    pid_t pid_ = -1;
    int port_ = 0;
    std::filesystem::path log_;
};

struct CommandResult {
    int exit_code = -1;
    std::string output; // standard output, as bytes
};

// Runs `lumresults ARGS...` to its end, its standard output captured and its standard error passed on;
// its standard input is `input` (a few bytes at most), or empty.
CommandResult run_lumresults(const std::vector<std::string>& args, std::string_view input = {});

} // namespace lum::server_testing
