// server/store/commit_queue.h: group commit: reports put at once by many threads share one transaction.
#pragma once

#include "server/store/store.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <istream>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace lumresults {

// One caller's report on its way into a batch. The batch writer sets id, or failed and error for this
// report alone; done belongs to the queue.
struct PendingReport {
    PendingReport(const NewReport& new_report, std::istream& file) : report(new_report), content(file) {}

    const NewReport& report;
    std::istream& content; // the caller's open content file, read by whichever thread writes the batch
    std::int64_t id = 0;
    bool failed = false;
    std::string error;
    bool done = false;
};

// How much one transaction takes at most, so that a burst of uploads does not become one long
// transaction that holds every caller (and the database's write lock) until its end. A report larger than
// bytes still goes, alone.
struct BatchLimits {
    std::size_t reports = 64;
    std::uint64_t bytes = 64 * 1024 * 1024;
};

// Leader and followers: a caller queues its report; if no batch is being written it becomes the leader,
// takes what is queued (within the limits, oldest first) and writes it in one transaction, with one sync
// to stable storage for all; callers that arrive meanwhile wait and go into the next batch. So the syncs
// per second stay what the disk allows while the reports per sync grow with the load.
class CommitQueue {
public:
    // Writes every report of the batch in one transaction and returns once it is durable; a report that
    // fails alone is marked failed. Throwing means that nothing of the batch was stored.
    using WriteBatch = std::function<void(std::span<PendingReport* const> batch)>;

    explicit CommitQueue(WriteBatch write, BatchLimits limits = {});

    // Returns the report's id once the transaction holding it is durable; throws StoreError, the report
    // not stored, when it failed alone or its whole batch did.
    std::int64_t put(PendingReport& pending);

    // Reports queued and not yet taken into a batch.
    std::size_t waiting() const;

private:
    void lead(std::unique_lock<std::mutex>& lock);
    void take_batch();
    void write_batch() noexcept;

    const WriteBatch write_;
    BatchLimits limits_;
    mutable std::mutex mutex_;
    std::condition_variable batch_done_;
    std::deque<PendingReport*> queue_;
    bool writing_ = false;
    std::vector<PendingReport*> batch_; // room for limits_.reports, kept, so that taking a batch never throws
};

} // namespace lumresults
