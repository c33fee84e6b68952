// runtime/process/posix/os_process.cpp: pipe ends and child processes on POSIX, with no zombie left behind.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "runtime/process/os_process.h"

namespace lum {
namespace {

int as_fd(std::intptr_t native) { return static_cast<int>(native); }
pid_t as_pid(std::intptr_t native) { return static_cast<pid_t>(native); }

// A program let go while still running is waited for by a thread of its own, which reaps it the
// moment it ends. Should no thread be had, it stays a zombie until this program ends.
void reap_in_background(pid_t pid) {
    if (waitpid(pid, nullptr, WNOHANG) != 0) return;
    try {
        std::thread([pid] {
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (...) {
    }
}

} // namespace

std::int32_t OsPipe::read_some(char* into, std::int32_t room) {
    if (!is_open() || room <= 0) return 0;
    ssize_t got = 0;
    do {
        got = ::read(as_fd(native()), into, static_cast<std::size_t>(room));
    } while (got < 0 && errno == EINTR);
    return got < 0 ? 0 : static_cast<std::int32_t>(got);
}

std::int32_t OsPipe::bytes_waiting() const {
    int available = 0;
    if (!is_open() || ::ioctl(as_fd(native()), FIONREAD, &available) != 0) return 0;
    return available;
}

// POLLHUP: every writer has closed; with nothing left to read, the output is over.
bool OsPipe::at_end() const {
    if (!is_open()) return true;
    pollfd watch{as_fd(native()), POLLIN, 0};
    if (::poll(&watch, 1, 0) != 1 || (watch.revents & POLLHUP) == 0) return false;
    return bytes_waiting() == 0;
}

bool OsPipe::wait_readable(std::int32_t timeout_ms) const {
    if (!is_open()) return true;
    pollfd watch{as_fd(native()), POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&watch, 1, timeout_ms);
    } while (ready < 0 && errno == EINTR);
    return ready != 0;
}

void PipeEndKind::free(std::intptr_t native) { ::close(as_fd(native)); }

bool OsProcess::has_ended() {
    if (native_ == NO_NATIVE || ended_) return true;
    const pid_t result = waitpid(as_pid(native_), nullptr, WNOHANG);
    // ECHILD: someone reaped it already (SIGCHLD ignored, for one); asking again would never end.
    if (result == as_pid(native_) || (result < 0 && errno == ECHILD)) ended_ = true;
    return ended_;
}

void OsProcess::wait() {
    if (native_ == NO_NATIVE || ended_) return;
    pid_t result = 0;
    do {
        result = waitpid(as_pid(native_), nullptr, 0);
    } while (result < 0 && errno == EINTR);
    ended_ = true;
}

// waitpid has no time-out, so the process is asked in short steps.
bool OsProcess::wait_for(std::int32_t timeout_ms) {
    constexpr auto STEP = std::chrono::milliseconds(10);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
    while (!has_ended()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(STEP);
    }
    return true;
}

void OsProcess::terminate() {
    if (native_ != NO_NATIVE && !has_ended()) ::kill(as_pid(native_), SIGKILL);
}

void OsProcess::let_go() {
    if (native_ != NO_NATIVE && !ended_) reap_in_background(as_pid(native_));
    native_ = NO_NATIVE;
    ended_ = false;
}

} // namespace lum
