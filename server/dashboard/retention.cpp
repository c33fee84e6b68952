// server/dashboard/retention.cpp: the daily sweep of old reports, old audit lines, expired sessions and old refused
// sign-ins.
#include "server/dashboard/retention.h"

#include <exception>
#include <string>

#include "server/http/access_log.h"

namespace lumresults::dashboard {

SweepCounts sweep_expired(Store& store, const RetentionSettings& settings, Clock::time_point now) {
    SweepCounts counts;
    // Speed tests hold the subscriber's address as reports do, and are kept as long.
    if (settings.keep_days > 0) {
        counts.reports = store.delete_reports_before(now - std::chrono::days(settings.keep_days));
        counts.speed_tests = store.delete_speed_tests_before(now - std::chrono::days(settings.keep_days));
    }
    // The audit log names addresses and whatever was typed at sign-in: personal data too, kept its own time.
    if (settings.keep_audit_days > 0)
        counts.audit_lines = store.delete_audit_before(now - std::chrono::days(settings.keep_audit_days));
    // Subscribers' sessions name who held which address: kept as long as the reports they explain, unless set.
    const unsigned keep_session_days = settings.keep_session_days.value_or(settings.keep_days);
    if (keep_session_days > 0)
        counts.subscriber_sessions = store.delete_sessions_before(now - std::chrono::days(keep_session_days));
    // A session idle this long can no longer be used (session_of refuses it), so nothing is lost.
    counts.sessions = store.delete_sessions_idle_since(now - settings.policy.idle_expiry);
    store.forget_refused_sign_ins_before(now - settings.policy.throttle_window);
    return counts;
}

RetentionThread::RetentionThread(Store& store, RetentionSettings settings, std::chrono::steady_clock::duration interval)
    : store_(store), interval_(interval), settings_(settings), thread_([this] { run(); }) {}

void RetentionThread::change(unsigned keep_days, unsigned keep_audit_days) {
    {
        const std::lock_guard lock(mutex_);
        settings_.keep_days = keep_days;
        settings_.keep_audit_days = keep_audit_days;
        changed_ = true;
    }
    wake_.notify_all();
}

RetentionThread::~RetentionThread() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void RetentionThread::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const RetentionSettings settings = settings_;
        changed_ = false;
        lock.unlock();
        try {
            const SweepCounts counts = sweep_expired(store_, settings, Clock::now());
            const std::string kept = settings.keep_days == 0
                                         ? std::string("reports kept for ever")
                                         : "deleted " + std::to_string(counts.reports) + " report(s) and " +
                                               std::to_string(counts.speed_tests) + " speed test(s) older than " +
                                               std::to_string(settings.keep_days) + " days";
            const std::string audit = settings.keep_audit_days == 0
                                          ? std::string("audit kept for ever")
                                          : std::to_string(counts.audit_lines) + " audit line(s) older than " +
                                                std::to_string(settings.keep_audit_days) + " days";
            write_log_line("lumresults: retention: " + kept + ", " + audit + ", " + std::to_string(counts.sessions) +
                           " expired session(s), " + std::to_string(counts.subscriber_sessions) +
                           " subscriber session(s)");
        } catch (const std::exception& error) {
            write_log_line(std::string("lumresults: retention: ") + error.what());
        }
        lock.lock();
        wake_.wait_for(lock, interval_, [this] { return stopping_ || changed_; });
    }
}

} // namespace lumresults::dashboard
