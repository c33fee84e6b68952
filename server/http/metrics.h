// server/http/metrics.h: the counters /metrics shows, in the Prometheus text format.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace lumresults {

// The upper bounds of the request-duration histogram's buckets, in seconds (and +Inf after them): from a
// quick /ip/ answer to a 10 MiB download on a slow line.
inline constexpr std::array<double, 12> DURATION_BUCKETS = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                            0.1,   0.25,   0.5,   1.0,  2.5,   10.0};

class Metrics {
public:
    // route: a name from the route table (or a literal), not a copy. took: from its first byte to its answer's last.
    void count_request(std::string_view route, unsigned status, std::uint64_t body_bytes,
                       std::chrono::steady_clock::duration took);
    void count_upload_stored(std::uint64_t bytes);
    // A reading made at upload: one test's verdict (test 1 to 7; verdict "ok", "failed", "skipped" or
    // "not_reached", a fixed name).
    void count_reading(int test, std::string_view verdict);
    // An Accounting-Request by what became of it ("recorded", "repeat", "bad_authenticator", "unknown_client",
    // ..., a fixed name).
    void count_accounting(std::string_view outcome);
    std::string render() const;

private:
    struct Durations {
        std::array<std::uint64_t, DURATION_BUCKETS.size()> at_most{}; // not cumulative: each bucket's own
        std::uint64_t count = 0;
        double seconds = 0;
    };

    mutable std::mutex mutex_;
    // Keyed by the route table's own names, which live as long as the program: counting allocates nothing.
    std::map<std::pair<std::string_view, unsigned>, std::uint64_t> requests_;
    std::map<std::string_view, Durations> durations_;
    std::map<std::pair<int, std::string_view>, std::uint64_t> readings_;
    std::map<std::string_view, std::uint64_t> accounting_;
    std::uint64_t bytes_served_ = 0;
    std::uint64_t uploads_stored_ = 0;
    std::uint64_t upload_bytes_stored_ = 0;
};

} // namespace lumresults
