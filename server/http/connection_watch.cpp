// server/http/connection_watch.cpp: the watchdog thread over every open connection's deadline.
#include "server/http/connection_watch.h"

#include <sys/socket.h>

namespace lumresults {

ConnectionWatch::ConnectionWatch(Clock::duration period) : thread_([this, period] { run(period); }) {}

ConnectionWatch::~ConnectionWatch() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_.notify_all();
    thread_.join();
}

void ConnectionWatch::watch(const void* key, int fd, Clock::time_point deadline) {
    const std::lock_guard lock(mutex_);
    watched_[key] = {fd, deadline, false};
}

void ConnectionWatch::set_deadline(const void* key, Clock::time_point deadline) {
    const std::lock_guard lock(mutex_);
    if (auto found = watched_.find(key); found != watched_.end()) found->second.deadline = deadline;
}

void ConnectionWatch::forget(const void* key) {
    const std::lock_guard lock(mutex_);
    watched_.erase(key);
}

// The socket is shut down under the lock that forget() takes, so it is still this connection's.
void ConnectionWatch::run(Clock::duration period) {
    std::unique_lock lock(mutex_);
    while (!stop_.wait_for(lock, period, [this] { return stopping_; })) {
        const Clock::time_point now = Clock::now();
        for (auto& [key, connection] : watched_) {
            if (connection.cut || now < connection.deadline) continue;
            ::shutdown(connection.fd, SHUT_RDWR);
            connection.cut = true;
        }
    }
}

} // namespace lumresults
