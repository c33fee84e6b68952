// tests/server/support/server_child.cpp: starting, watching and ending lumresults from a test (POSIX).
#include "server_child.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "runtime/process/posix/unique_fd.h"

namespace lum::server_testing {
namespace {

constexpr char LISTENING[] = "lumresults: listening on ";

// Builds argv before fork: after it, in a threaded test, only async-signal-safe calls are allowed.
std::vector<char*> argv_of(std::vector<std::string>& words) {
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    return argv;
}

// In the child: the given descriptors become 0, 1 and 2, every other one is closed (so that no client
// socket of the test stays open in the server and hides a client's close), and the program replaces it.
[[noreturn]] void become(pid_t parent, int in, int out, int err, char** argv) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    if (dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
    close_range(3, ~0U, 0);
    execv(argv[0], argv);
    _exit(127);
}

pid_t spawn(std::vector<std::string> words, int out, int err, int in = -1) {
    const UniqueFd null(open("/dev/null", O_RDWR | O_CLOEXEC));
    auto argv = argv_of(words);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) become(parent, in < 0 ? null.get() : in, out < 0 ? null.get() : out, err < 0 ? 2 : err, argv.data());
    return pid;
}

int exit_code_of(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

std::string first_line(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    if (std::getline(in, line) && !in.eof()) return line;
    return {}; // not yet a whole line
}

} // namespace

// A benchmark may measure another build (an older one, to compare) named by LUMRESULTS.
std::string lumresults_program() {
    const char* other = std::getenv("LUMRESULTS");
    return other != nullptr && *other != '\0' ? other : LUM_LUMRESULTS;
}

ServerChild::ServerChild(const std::filesystem::path& data, const std::vector<std::string>& options,
                         const std::filesystem::path& log)
    : log_(log) {
    std::vector<std::string> words{lumresults_program(), "serve", "--listen", "127.0.0.1:0", "--data", data.string()};
    words.insert(words.end(), options.begin(), options.end());
    const UniqueFd err(open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!err) throw std::runtime_error("cannot create " + log.string());
    pid_ = spawn(std::move(words), -1, err.get());
    try {
        await_listening_line();
    } catch (...) {
        kill_now();
        throw;
    }
}

void ServerChild::await_listening_line() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        const std::string line = first_line(log_);
        if (!line.empty()) {
            const auto colon = line.rfind(':');
            if (line.rfind(LISTENING, 0) != 0 || colon == std::string::npos)
                throw std::runtime_error("unexpected first line of lumresults: " + line);
            port_ = std::stoi(line.substr(colon + 1));
            return;
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            std::ostringstream text;
            text << std::ifstream(log_).rdbuf();
            throw std::runtime_error("lumresults ended before listening (" + std::to_string(exit_code_of(status)) +
                                     "): " + text.str());
        }
        if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("lumresults never listened");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

ServerChild::~ServerChild() { kill_now(); }

void ServerChild::kill_now() {
    if (pid_ < 0) return;
    kill(pid_, SIGKILL);
    wait_exit(30);
}

int ServerChild::stop() {
    if (pid_ < 0) return -1;
    kill(pid_, SIGTERM);
    return wait_exit(30);
}

int ServerChild::wait_exit(int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    return exit_code_of(status);
}

// A pipe's two ends.
std::pair<UniqueFd, UniqueFd> new_pipe() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    return {UniqueFd(ends[0]), UniqueFd(ends[1])};
}

CommandResult run_lumresults(const std::vector<std::string>& args, std::string_view input) {
    auto [read_end, write_end] = new_pipe();
    auto [input_end, feed_end] = new_pipe();
    std::vector<std::string> words{lumresults_program()};
    words.insert(words.end(), args.begin(), args.end());
    const pid_t pid = spawn(std::move(words), write_end.get(), -1, input.empty() ? -1 : input_end.get());
    write_end.reset();
    input_end.reset();
    // Small inputs only: the whole of it fits in the pipe, so writing before reading cannot stall.
    if (!input.empty() && write(feed_end.get(), input.data(), input.size()) != static_cast<ssize_t>(input.size()))
        throw std::runtime_error("cannot write the command's input");
    feed_end.reset();
    CommandResult result;
    char buffer[65536];
    for (ssize_t got; (got = read(read_end.get(), buffer, sizeof buffer)) != 0;) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        result.output.append(buffer, static_cast<std::size_t>(got));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exit_code = exit_code_of(status);
    return result;
}

} // namespace lum::server_testing
