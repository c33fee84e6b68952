// server/http/tls_daemons.cpp: handing the HTTPS socket from a daemon to its successor, and stopping the old
// one when its connections are done.
#include "server/http/tls_daemons.h"

#include <microhttpd.h>
#include <unistd.h>

#include <stdexcept>

namespace lumresults {

const char* const TLS_PRIORITIES =
    "SECURE128:-VERS-ALL:+VERS-TLS1.3:-CIPHER-ALL:+AES-128-GCM:+AES-256-GCM:+CHACHA20-POLY1305:%SERVER_PRECEDENCE";

namespace {

unsigned connections_of(MHD_Daemon* daemon) {
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_CURRENT_CONNECTIONS);
    return info != nullptr ? info->num_connections : 0;
}

} // namespace

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
    for (const Retired& retired : retired_)
        MHD_stop_daemon(retired.daemon);
    if (current_ != nullptr) MHD_stop_daemon(current_);
    if (listen_fd_ >= 0) ::close(listen_fd_);
}

MHD_Daemon* TlsDaemons::current() const {
    const std::lock_guard lock(mutex_);
    return current_;
}

void TlsDaemons::replace(const TlsIdentity& identity) {
    const std::lock_guard lock(mutex_);
    if (listen_fd_ >= 0) throw std::runtime_error("the HTTPS listener no longer accepts connections");
    // The identity is tried first by a daemon that listens nowhere: one the library cannot use leaves the
    // current daemon as it was, still accepting.
    MHD_stop_daemon(start_(identity, NO_SOCKET));
    const MHD_socket fd = MHD_quiesce_daemon(current_);
    if (fd == MHD_INVALID_SOCKET) throw std::runtime_error("cannot take the HTTPS socket from its daemon");
    MHD_Daemon* successor = nullptr;
    try {
        successor = start_(identity, fd);
    } catch (...) {
        // Nothing accepts on the socket now: it is kept, so that stop_accepting() closes it.
        listen_fd_ = fd;
        throw;
    }
    retired_.push_back({current_, std::chrono::steady_clock::now() + linger_});
    current_ = successor;
    changed_.notify_all();
}

void TlsDaemons::stop_accepting() {
    const std::lock_guard lock(mutex_);
    if (listen_fd_ < 0 && current_ != nullptr) {
        const MHD_socket fd = MHD_quiesce_daemon(current_);
        if (fd != MHD_INVALID_SOCKET) listen_fd_ = fd;
    }
    if (listen_fd_ >= 0) {
        ::close(listen_fd_);
        listen_fd_ = -2;
    }
}

void TlsDaemons::stop_retired() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        changed_.wait_for(lock, std::chrono::milliseconds(500));
        for (auto retired = retired_.begin(); retired != retired_.end();) {
            if (connections_of(retired->daemon) > 0 && std::chrono::steady_clock::now() < retired->deadline) {
                ++retired;
                continue;
            }
            MHD_Daemon* done = retired->daemon;
            retired = retired_.erase(retired);
            lock.unlock(); // stopping waits for the daemon's threads
            MHD_stop_daemon(done);
            lock.lock();
        }
    }
}

} // namespace lumresults
