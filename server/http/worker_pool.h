// server/http/worker_pool.h: the threads that do a request's slow work (the store, password hashing, reading
// a report back), so that the threads reading requests always have time for the quick ones.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "server/http/address_limit.h"
#include "server/http/lane.h"

namespace lumresults {

class WorkerPool {
public:
    static constexpr std::size_t UNBOUNDED = SIZE_MAX;

    // A lane's own threads, and how many jobs it takes beyond those running: in all, and of one caller
    // (waiting or running). Every worker runs at a lower priority than the threads that started it: on a
    // busy machine a flood of slow requests takes the time left over, not the time `/ip/` needs.
    struct LaneSize {
        unsigned threads = 1;
        std::size_t waiting = UNBOUNDED;
        std::size_t per_caller = UNBOUNDED;
    };

    WorkerPool(LaneSize general, LaneSize sign_in);
    ~WorkerPool(); // runs every job already given, then joins
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Room in a lane for one job, taken before the job's connection is suspended, so that a refusal never
    // needs one. A place taken always runs its job, even once the pool is stopping; one never used is
    // given back when it ends.
    class Place {
    public:
        Place(Place&& other) noexcept;
        Place& operator=(Place&&) = delete;
        ~Place();
        bool taken() const { return pool_ != nullptr; }
        bool stopping() const { return stopping_; } // why it was not taken, else its lane is full
        void run(std::function<void()> job);        // once, and only on a place taken

    private:
        friend class WorkerPool;
        Place(WorkerPool* pool, Lane lane, const CallerKey& caller, bool stopping)
            : pool_(pool), lane_(lane), caller_(caller), stopping_(stopping) {}
        WorkerPool* pool_;
        Lane lane_;
        CallerKey caller_;
        bool stopping_;
    };
    Place take_place(Lane lane, const CallerKey& caller);

    // Finishes the jobs queued and those whose place is taken, and ends the workers; later places are refused.
    void stop();

private:
    struct Job {
        std::function<void()> work;
        CallerKey caller;
    };
    struct LaneState {
        LaneSize size;
        std::deque<Job> jobs;
        std::size_t reserved = 0; // places taken whose job is not yet given
        std::size_t running = 0;
        std::map<CallerKey, std::size_t> held; // places per caller, when they are bounded
        std::condition_variable wake;
        std::vector<std::thread> threads;
    };
    LaneState& lane(Lane which) { return lanes_[static_cast<std::size_t>(which)]; }
    bool has_room(const LaneState& state, const CallerKey& caller) const;
    void give_back(LaneState& state, const CallerKey& caller);
    void work(LaneState& state);

    std::mutex mutex_;
    bool stopping_ = false;
    std::array<LaneState, 2> lanes_; // by Lane
};

} // namespace lumresults
