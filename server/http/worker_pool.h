// server/http/worker_pool.h: the threads that do a request's slow work (the store, password hashing, reading
// a report back), so that the threads reading requests always have time for the quick ones.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace lumresults {

class WorkerPool {
public:
    // The workers run at a lower priority than the threads that started them: on a busy machine a
    // flood of slow requests takes the time left over, not the time `/ip/` needs.
    explicit WorkerPool(unsigned threads);
    ~WorkerPool(); // runs every job already given, then joins
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Queues `job`; false once the pool is stopping (the caller then does the work itself).
    bool run(std::function<void()> job);
    // Finishes the queued jobs and ends the workers; later jobs are refused.
    void stop();

private:
    void work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace lumresults
