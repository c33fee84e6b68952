// server/http/served_daemon.h: one of the server's libmicrohttpd daemons, given to its callbacks as their context.
#pragma once

#include <atomic>

struct MHD_Daemon;

namespace lumresults {

class HttpServer;

// The library aborts the process when a daemon is stopped with a connection suspended, and a worker that
// resumed a connection of a stopped daemon would touch freed memory. So each request handed to a worker
// holds its daemon twice: until the worker has resumed the connection (MHD_resume_connection() signals the
// daemon's thread after letting the connection go, so the worker is inside the daemon a moment longer), and
// until the request has ended (so that the answer the worker made is sent). A daemon is stopped early (a
// replaced HTTPS one) only once it is closing and nothing holds it; at the server's end, only after every
// worker has finished.
class ServedDaemon {
public:
    explicit ServedDaemon(HttpServer& owner) : server(owner) {}
    ~ServedDaemon(); // stops the daemon, when one was started
    ServedDaemon(const ServedDaemon&) = delete;
    ServedDaemon& operator=(const ServedDaemon&) = delete;

    HttpServer& server;
    MHD_Daemon* handle = nullptr; // set once the library has started it

    // Held for a request handed to a worker; false, and nothing held, once the daemon is closing (the
    // request is then answered on the daemon's own thread, with no connection suspended).
    bool try_hold(unsigned times);
    void release() { --holds_; }
    // No request is handed to a worker from now on. Whether one still holds it is asked after this: the
    // two steps are ordered against try_hold()'s, so one of them always sees the other.
    void close() { closing_ = true; }
    bool held() const { return holds_.load() > 0; }
    unsigned connections() const; // open now, suspended ones included

private:
    std::atomic<unsigned> holds_{0};
    std::atomic<bool> closing_{false};
};

} // namespace lumresults
