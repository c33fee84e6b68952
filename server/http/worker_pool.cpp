// server/http/worker_pool.cpp: fixed sets of threads, one set per lane, each taking its lane's jobs in the order
// they came.
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

WorkerPool::WorkerPool(LaneSize general, LaneSize sign_in) {
    lane(Lane::Work).size = general;
    lane(Lane::SignIn).size = sign_in;
    for (LaneState& state : lanes_)
        for (unsigned n = 0; n < state.size.threads; ++n)
            state.threads.emplace_back([this, &state] { this->work(state); });
}

WorkerPool::~WorkerPool() { stop(); }

// Called with the mutex held.
bool WorkerPool::has_room(const LaneState& state, const CallerKey& caller) const {
    const std::size_t places = state.running + state.jobs.size() + state.reserved;
    if (places >= state.size.threads && places - state.size.threads >= state.size.waiting) return false;
    if (state.size.per_caller == UNBOUNDED) return true;
    const auto held = state.held.find(caller);
    return held == state.held.end() || held->second < state.size.per_caller;
}

WorkerPool::Place WorkerPool::take_place(Lane which, const CallerKey& caller) {
    const std::lock_guard lock(mutex_);
    LaneState& state = lane(which);
    if (stopping_ || !has_room(state, caller)) return Place(nullptr, which, caller, stopping_);
    ++state.reserved;
    if (state.size.per_caller != UNBOUNDED) ++state.held[caller];
    return Place(this, which, caller, false);
}

// Called with the mutex held: a caller's place ends, its job done or never given.
void WorkerPool::give_back(LaneState& state, const CallerKey& caller) {
    if (state.size.per_caller == UNBOUNDED) return;
    const auto held = state.held.find(caller);
    if (held != state.held.end() && --held->second == 0) state.held.erase(held);
}

WorkerPool::Place::Place(Place&& other) noexcept
    : pool_(other.pool_), lane_(other.lane_), caller_(other.caller_), stopping_(other.stopping_) {
    other.pool_ = nullptr;
}

WorkerPool::Place::~Place() {
    if (pool_ == nullptr) return;
    const std::lock_guard lock(pool_->mutex_);
    LaneState& state = pool_->lane(lane_);
    --state.reserved;
    pool_->give_back(state, caller_);
    state.wake.notify_all(); // a stopping pool waits for its places
}

void WorkerPool::Place::run(std::function<void()> job) {
    if (pool_ == nullptr) return;
    LaneState* state = nullptr;
    {
        const std::lock_guard lock(pool_->mutex_);
        state = &pool_->lane(lane_);
        --state->reserved;
        state->jobs.push_back({std::move(job), caller_});
    }
    pool_ = nullptr;
    state->wake.notify_one();
}

void WorkerPool::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    for (LaneState& state : lanes_) {
        state.wake.notify_all();
        for (std::thread& thread : state.threads)
            if (thread.joinable()) thread.join();
    }
}

void WorkerPool::work(LaneState& state) {
    yield_to_request_threads();
    std::unique_lock lock(mutex_);
    for (;;) {
        state.wake.wait(lock, [&] { return !state.jobs.empty() || (stopping_ && state.reserved == 0); });
        if (state.jobs.empty()) return; // stopping, and nothing left to do
        Job job = std::move(state.jobs.front());
        state.jobs.pop_front();
        ++state.running;
        lock.unlock();
        job.work();
        lock.lock();
        --state.running;
        give_back(state, job.caller);
    }
}

} // namespace lumresults
