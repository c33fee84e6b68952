// server/http/tls_daemons.cpp: handing the HTTPS socket from a daemon to its successor, and stopping the old
// one when its connections are done.
#include "server/http/tls_daemons.h"

#include <microhttpd.h>
#include <unistd.h>

#include <stdexcept>

namespace lumresults {

const char* const TLS_PRIORITIES =
    "SECURE128:-VERS-ALL:+VERS-TLS1.3:-CIPHER-ALL:+AES-128-GCM:+AES-256-GCM:+CHACHA20-POLY1305:%SERVER_PRECEDENCE";

TlsDaemons::TlsDaemons(Start start, const TlsIdentity& identity, std::chrono::seconds linger)
    : start_(std::move(start)), linger_(linger), current_(start_(identity, OWN_SOCKET)) {
    stopper_ = std::thread([this] { stop_retired(); });
}

TlsDaemons::~TlsDaemons() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    stopper_.join();
    retired_.clear();
    current_.reset();
    if (listen_fd_ >= 0) ::close(listen_fd_);
}

MHD_Daemon* TlsDaemons::current() const {
    const std::lock_guard lock(mutex_);
    return current_->handle;
}

bool TlsDaemons::held() const {
    const std::lock_guard lock(mutex_);
    bool any = current_->held();
    for (const Retired& retired : retired_)
        any = any || retired.daemon->held();
    return any;
}

void TlsDaemons::replace(const TlsIdentity& identity) {
    const std::lock_guard lock(mutex_);
    if (listen_fd_ >= 0) throw std::runtime_error("the HTTPS listener no longer accepts connections");
    // The identity is tried first by a daemon that listens nowhere: one the library cannot use leaves the
    // current daemon as it was, still accepting.
    start_(identity, NO_SOCKET).reset();
    const MHD_socket fd = MHD_quiesce_daemon(current_->handle);
    if (fd == MHD_INVALID_SOCKET) throw std::runtime_error("cannot take the HTTPS socket from its daemon");
    std::unique_ptr<ServedDaemon> successor;
    try {
        successor = start_(identity, fd);
    } catch (...) {
        // Nothing accepts on the socket now: it is kept, so that stop_accepting() closes it.
        listen_fd_ = fd;
        throw;
    }
    retired_.push_back({std::move(current_), std::chrono::steady_clock::now() + linger_});
    current_ = std::move(successor);
    changed_.notify_all();
}

void TlsDaemons::stop_accepting() {
    const std::lock_guard lock(mutex_);
    if (listen_fd_ < 0) {
        const MHD_socket fd = MHD_quiesce_daemon(current_->handle);
        if (fd != MHD_INVALID_SOCKET) listen_fd_ = fd;
    }
    if (listen_fd_ >= 0) {
        ::close(listen_fd_);
        listen_fd_ = -2;
    }
}

// Called with the mutex held. A retired daemon goes once its connections are closed, or once its linger is
// over; but never while a worker holds one of its requests, whose connection may be suspended. Past its
// linger it hands no more requests to workers (a kept-alive connection may still send one), so that the
// worker's hold it waits for cannot be followed by another.
std::vector<std::unique_ptr<ServedDaemon>> TlsDaemons::take_stoppable() {
    const auto now = std::chrono::steady_clock::now();
    std::vector<std::unique_ptr<ServedDaemon>> stoppable;
    for (auto retired = retired_.begin(); retired != retired_.end();) {
        ServedDaemon& daemon = *retired->daemon;
        if (now >= retired->deadline) daemon.close();
        if (daemon.held() || (daemon.connections() > 0 && now < retired->deadline)) {
            ++retired;
            continue;
        }
        stoppable.push_back(std::move(retired->daemon));
        retired = retired_.erase(retired);
    }
    return stoppable;
}

void TlsDaemons::stop_retired() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        changed_.wait_for(lock, std::chrono::milliseconds(500));
        std::vector<std::unique_ptr<ServedDaemon>> stoppable = take_stoppable();
        lock.unlock(); // stopping waits for the daemon's threads
        stoppable.clear();
        lock.lock();
    }
}

} // namespace lumresults
