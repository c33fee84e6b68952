// server/dashboard/retention.h: reports kept only so long, and expired sessions and old refused sign-ins
// cleared, by a thread of the server.
//
// The reports hold subscribers' MAC addresses and host names: personal data, kept no longer than support
// needs it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>

#include "server/store/store.h"
#include "server/dashboard/accounts.h"

namespace lumresults::dashboard {

struct RetentionSettings {
    unsigned keep_days = 400;       // reports older than this are deleted; 0 keeps them for ever
    AccountPolicy policy;           // sessions idle past its expiry and refusals past its window are deleted
    unsigned keep_audit_days = 400; // audit lines older than this are deleted; 0 keeps them for ever
    std::optional<unsigned> keep_session_days{}; // subscribers' sessions; unset: as reports; 0 keeps them for ever
};

struct SweepCounts {
    std::size_t reports = 0;
    std::size_t speed_tests = 0;
    std::size_t sessions = 0;
    std::size_t audit_lines = 0;
    std::size_t subscriber_sessions = 0;
};

// One sweep as of `now`.
SweepCounts sweep_expired(Store& store, const RetentionSettings& settings, Clock::time_point now);

// Sweeps at once and then every `interval` until destroyed; the destructor returns promptly, never
// waiting out the interval. Each sweep is logged on standard error; a failed one is logged and retried
// at the next.
class RetentionThread {
public:
    RetentionThread(Store& store, RetentionSettings settings,
                    std::chrono::steady_clock::duration interval = std::chrono::hours(24));
    ~RetentionThread();
    RetentionThread(const RetentionThread&) = delete;
    RetentionThread& operator=(const RetentionThread&) = delete;

    // A reload's periods: the next sweep, which starts at once, keeps to them.
    void change(unsigned keep_days, unsigned keep_audit_days);

private:
    void run();

    Store& store_;
    const std::chrono::steady_clock::duration interval_;
    std::mutex mutex_;
    std::condition_variable wake_;
    RetentionSettings settings_; // under the mutex
    bool changed_ = false;
    bool stopping_ = false;
    std::thread thread_; // last: started once everything it reads is ready
};

} // namespace lumresults::dashboard
