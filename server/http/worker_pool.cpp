// server/http/worker_pool.cpp: a fixed set of threads taking jobs in the order they came.
#include "server/http/worker_pool.h"

#include <sys/resource.h>
#include <unistd.h>

namespace lumresults {
namespace {

// Linux gives each thread its own nice value; raising one's own needs no privilege. Failing to is harmless.
void yield_to_request_threads() {
    constexpr int LOWER_PRIORITY = 5;
    const int self = static_cast<int>(::gettid());
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(self), ::getpriority(PRIO_PROCESS, 0) + LOWER_PRIORITY);
}

} // namespace

WorkerPool::WorkerPool(unsigned threads) {
    for (unsigned n = 0; n < threads; ++n)
        threads_.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool() { stop(); }

bool WorkerPool::run(std::function<void()> job) {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) return false;
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
    return true;
}

void WorkerPool::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_)
        if (thread.joinable()) thread.join();
}

void WorkerPool::work() {
    yield_to_request_threads();
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) return; // stopping, and nothing left to do
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}

} // namespace lumresults
