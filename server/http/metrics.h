// server/http/metrics.h: the counters /metrics shows, in the Prometheus text format.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace lumresults {

class Metrics {
public:
    // route: a name from the route table (or a literal), not a copy.
    void count_request(std::string_view route, unsigned status, std::uint64_t body_bytes);
    void count_upload_stored(std::uint64_t bytes);
    std::string render() const;

private:
    mutable std::mutex mutex_;
    // Keyed by the route table's own names, which live as long as the program: counting allocates nothing.
    std::map<std::pair<std::string_view, unsigned>, std::uint64_t> requests_;
    std::uint64_t bytes_served_ = 0;
    std::uint64_t uploads_stored_ = 0;
    std::uint64_t upload_bytes_stored_ = 0;
};

} // namespace lumresults
