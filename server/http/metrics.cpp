// server/http/metrics.cpp: counting requests and uploads, and writing them out for a scraper.
#include "server/http/metrics.h"

namespace lumresults {

void Metrics::count_request(std::string_view route, unsigned status, std::uint64_t body_bytes) {
    const std::lock_guard lock(mutex_);
    ++requests_[{route, status}];
    bytes_served_ += body_bytes;
}

void Metrics::count_upload_stored(std::uint64_t bytes) {
    const std::lock_guard lock(mutex_);
    ++uploads_stored_;
    upload_bytes_stored_ += bytes;
}

// Route names are the table's own fixed names, so the label values need no escaping.
std::string Metrics::render() const {
    const std::lock_guard lock(mutex_);
    std::string text = "# HELP lumresults_requests_total Requests answered, by route and status.\n"
                       "# TYPE lumresults_requests_total counter\n";
    for (const auto& [key, count] : requests_)
        text += "lumresults_requests_total{route=\"" + std::string(key.first) + "\",status=\"" +
                std::to_string(key.second) + "\"} " + std::to_string(count) + "\n";
    text += "# HELP lumresults_response_bytes_total Body bytes of the answers sent in full.\n"
            "# TYPE lumresults_response_bytes_total counter\n"
            "lumresults_response_bytes_total " +
            std::to_string(bytes_served_) +
            "\n"
            "# HELP lumresults_uploads_stored_total Reports stored durably.\n"
            "# TYPE lumresults_uploads_stored_total counter\n"
            "lumresults_uploads_stored_total " +
            std::to_string(uploads_stored_) +
            "\n"
            "# HELP lumresults_upload_bytes_stored_total Bytes of the reports stored.\n"
            "# TYPE lumresults_upload_bytes_stored_total counter\n"
            "lumresults_upload_bytes_stored_total " +
            std::to_string(upload_bytes_stored_) + "\n";
    return text;
}

} // namespace lumresults
