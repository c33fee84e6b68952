// server/http/connection_watch.h: cuts off connections whose request takes too long to arrive, however
// steadily it trickles in (the library's own time-out only counts silence).
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace lumresults {

class ConnectionWatch {
public:
    using Clock = std::chrono::steady_clock;

    // Checks every `period`; a connection past its deadline has its socket shut down, which the
    // library sees as the client leaving and closes in its own time.
    explicit ConnectionWatch(Clock::duration period = std::chrono::milliseconds(250));
    ~ConnectionWatch();
    ConnectionWatch(const ConnectionWatch&) = delete;
    ConnectionWatch& operator=(const ConnectionWatch&) = delete;

    // `key` names the connection until forget(); `fd` is its socket.
    void watch(const void* key, int fd, Clock::time_point deadline);
    void set_deadline(const void* key, Clock::time_point deadline);
    // Must come before the socket is closed, so that a number the system gives out again is never touched.
    void forget(const void* key);

private:
    struct Watched {
        int fd;
        Clock::time_point deadline;
        bool cut;
    };
    void run(Clock::duration period);

    std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    std::unordered_map<const void*, Watched> watched_;
    std::thread thread_;
};

} // namespace lumresults
