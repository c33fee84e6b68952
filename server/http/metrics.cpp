// server/http/metrics.cpp: counting requests and uploads, and writing them out for a scraper.
#include "server/http/metrics.h"

#include <algorithm>
#include <cstdio>

namespace lumresults {

namespace {

std::string number_text(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

} // namespace

void Metrics::count_request(std::string_view route, unsigned status, std::uint64_t body_bytes,
                            std::chrono::steady_clock::duration took) {
    const double seconds = std::chrono::duration<double>(took).count();
    const std::lock_guard lock(mutex_);
    ++requests_[{route, status}];
    bytes_served_ += body_bytes;
    Durations& durations = durations_[route];
    const auto bucket = std::lower_bound(DURATION_BUCKETS.begin(), DURATION_BUCKETS.end(), seconds);
    if (bucket != DURATION_BUCKETS.end())
        ++durations.at_most[static_cast<std::size_t>(bucket - DURATION_BUCKETS.begin())];
    ++durations.count;
    durations.seconds += seconds;
}

void Metrics::count_reading(int test, std::string_view verdict) {
    const std::lock_guard lock(mutex_);
    ++readings_[{test, verdict}];
}

void Metrics::count_accounting(std::string_view outcome) {
    const std::lock_guard lock(mutex_);
    ++accounting_[outcome];
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
    text += "# HELP lumresults_readings_total Readings made of uploaded reports, by test and verdict.\n"
            "# TYPE lumresults_readings_total counter\n";
    for (const auto& [key, count] : readings_)
        text += "lumresults_readings_total{test=\"" + std::to_string(key.first) + "\",verdict=\"" +
                std::string(key.second) + "\"} " + std::to_string(count) + "\n";
    text += "# HELP lumresults_accounting_requests_total RADIUS Accounting-Requests, by what became of them.\n"
            "# TYPE lumresults_accounting_requests_total counter\n";
    for (const auto& [outcome, count] : accounting_)
        text += "lumresults_accounting_requests_total{outcome=\"" + std::string(outcome) + "\"} " +
                std::to_string(count) + "\n";
    text += "# HELP lumresults_request_duration_seconds Time from a request's start to its answer's end, by route.\n"
            "# TYPE lumresults_request_duration_seconds histogram\n";
    for (const auto& [route, durations] : durations_) {
        const std::string name = "lumresults_request_duration_seconds";
        const std::string label = "{route=\"" + std::string(route) + "\"";
        std::uint64_t cumulative = 0;
        for (std::size_t i = 0; i < DURATION_BUCKETS.size(); ++i) {
            cumulative += durations.at_most[i];
            text += name + "_bucket" + label + ",le=\"" + number_text(DURATION_BUCKETS[i]) + "\"} " +
                    std::to_string(cumulative) + "\n";
        }
        text += name + "_bucket" + label + ",le=\"+Inf\"} " + std::to_string(durations.count) + "\n";
        text += name + "_sum" + label + "} " + number_text(durations.seconds) + "\n";
        text += name + "_count" + label + "} " + std::to_string(durations.count) + "\n";
    }
    return text;
}

} // namespace lumresults
