// server/store/commit_queue.cpp: the group commit's leader and followers.
#include "server/store/commit_queue.h"

#include <algorithm>
#include <utility>

namespace lumresults {

CommitQueue::CommitQueue(WriteBatch write, BatchLimits limits) : write_(std::move(write)), limits_(limits) {
    limits_.reports = std::max<std::size_t>(limits_.reports, 1);
    batch_.reserve(limits_.reports);
}

std::int64_t CommitQueue::put(PendingReport& pending) {
    std::unique_lock lock(mutex_);
    queue_.push_back(&pending);
    // The leader's own report may not fit its batch when many are queued before it: it then leads again,
    // or waits for whoever does.
    while (!pending.done) {
        if (writing_)
            batch_done_.wait(lock);
        else
            lead(lock);
    }
    if (pending.failed) throw StoreError(pending.error);
    return pending.id;
}

std::size_t CommitQueue::waiting() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

void CommitQueue::lead(std::unique_lock<std::mutex>& lock) {
    writing_ = true;
    take_batch();
    // Unlocked while writing, so that the next callers can queue for the next batch meanwhile.
    lock.unlock();
    write_batch();
    lock.lock();
    // Durable before acknowledged: write_batch has returned, so the COMMIT holding these reports has
    // reached stable storage (or failed, each report marked so): only now are their callers released to
    // answer their uploads. Everyone is woken, also after a failure, so that nobody waits forever and
    // one of those still queued leads the next batch.
    for (PendingReport* pending : batch_)
        pending->done = true;
    batch_.clear();
    writing_ = false;
    batch_done_.notify_all();
}

void CommitQueue::take_batch() {
    std::uint64_t bytes = 0;
    while (!queue_.empty() && batch_.size() < limits_.reports) {
        PendingReport* next = queue_.front();
        if (!batch_.empty() && next->report.size > limits_.bytes - std::min(bytes, limits_.bytes)) break;
        bytes += next->report.size;
        batch_.push_back(next);
        queue_.pop_front();
    }
}

void CommitQueue::write_batch() noexcept {
    const auto fail_all = [this](const char* why) noexcept {
        for (PendingReport* pending : batch_) {
            pending->failed = true;
            try {
                pending->error = why;
            } catch (...) { // out of memory: the report still fails, with no words
            }
        }
    };
    try {
        write_(batch_);
    } catch (const std::exception& error) {
        fail_all(error.what());
    } catch (...) {
        fail_all("storing the reports failed");
    }
}

} // namespace lumresults
