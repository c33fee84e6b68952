// tests/cluster/burst_main.cpp: cluster_burst: many uploads of the lab's reports at once through the balancer, every
// answer recorded.
//
//   cluster_burst --port PORT --scenarios DIR --work DIR --record FILE [--uploads N] [--connections C]
//                 [--report FILE]... [--progress FILE]
//
// Upload i carries report i mod R (the expected reports of the lab's scenarios in DIR, then each --report,
// a report a lab run wrote) in the body the program's own code makes, under the file name
// burst-<i>.log: the checker that follows finds every upload in the store by it. Each of C connections
// to 127.0.0.1:PORT sends one upload after another, as long as the server keeps it open.
// --progress FILE holds the number of uploads answered so far, for a script that brings faults mid-burst.
// Prints the counts by answer; exits 0 once every upload has its line in the record, whatever the answers.
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "burst_record.h"
#include "lab_reports.h"
#include "program_upload.h"
#include "raw_http.h"
#include "server/common/sha256.h"
#include "rules/operator.h"

namespace {

using namespace lum::cluster;
using lum::server_testing::RawConnection;
using SteadyClock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Options {
    int port = 0;
    fs::path scenarios, work, record, progress;
    std::vector<fs::path> reports;
    std::size_t uploads = 5000;
    std::size_t connections = 32;
};

// A report ready to send: its source and its body, cut for a file name.
struct Payload {
    std::string source;
    ProgramUpload upload;
    std::string sha256;
};

std::size_t count_of(const std::string& text) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0)
        throw std::runtime_error("not a positive number: " + text);
    return value;
}

Options options_of(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        if (name == "--port")
            options.port = static_cast<int>(count_of(value));
        else if (name == "--scenarios")
            options.scenarios = value;
        else if (name == "--work")
            options.work = value;
        else if (name == "--record")
            options.record = value;
        else if (name == "--progress")
            options.progress = value;
        else if (name == "--report")
            options.reports.emplace_back(value);
        else if (name == "--uploads")
            options.uploads = count_of(value);
        else if (name == "--connections")
            options.connections = count_of(value);
        else
            throw std::runtime_error("unknown option " + name);
    }
    if (argc % 2 == 0 || options.port == 0 || options.scenarios.empty() || options.work.empty() ||
        options.record.empty())
        throw std::runtime_error("usage: cluster_burst --port PORT --scenarios DIR --work DIR --record FILE "
                                 "[--uploads N] [--connections C] [--report FILE]... [--progress FILE]");
    return options;
}

std::string file_bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every report in the program's body, made before any thread starts (the program's code changes PATH).
std::vector<Payload> payloads(const Options& options) {
    std::vector<LabReport> reports = lab_reports(options.scenarios, options.work / "scenarios");
    for (const fs::path& file : options.reports)
        reports.push_back({file.string(), file_bytes(file)});
    std::vector<Payload> result;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        Payload payload{
            reports[i].scenario, program_upload(reports[i].bytes, options.work / "body" / std::to_string(i)), {}};
        lumresults::Sha256 hash;
        hash.update(payload.upload.stored);
        payload.sha256 = hash.finish_hex();
        result.push_back(std::move(payload));
    }
    return result;
}

std::string request_for(const std::string& body) {
    return std::string("POST ") + std::string(lum::UPLOAD_PATH) + " HTTP/1.1\r\nHost: nettest.lumora.example\r\n" +
           "Accept: */*\r\nContent-Type: " + std::string(UPLOAD_CONTENT_TYPE) +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// One upload on the thread's connection, opened when there is none; a connection that failed or that the
// server is closing is dropped, so that the next upload opens another.
void send_one(std::optional<RawConnection>& connection, int port, const Payload& payload, UploadRecord& record) {
    record.source = payload.source;
    record.size = payload.upload.stored.size();
    record.sha256 = payload.sha256;
    const std::string request = request_for(body_named(payload.upload, record.file_name));
    const auto start = SteadyClock::now();
    if (!connection) connection = RawConnection::open(port);
    std::optional<lum::server_testing::HttpResponse> response;
    if (connection && connection->send_all(request)) response = connection->read_response(std::chrono::seconds(120));
    record.latency_us = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(SteadyClock::now() - start).count());
    if (!response) {
        record.answer = connection ? "the connection ended without an answer" : "cannot connect";
        connection.reset();
        return;
    }
    record.status = static_cast<unsigned>(response->status);
    if (const auto id = lum::server_testing::acknowledged_id(*response)) record.told_id = *id;
    record.answer = response->body.substr(0, response->body.find('\n'));
    const std::string closing = response->header("Connection").value_or("");
    if (closing == "close" || closing == "Close") connection.reset();
}

// Counts the answers and rewrites the progress file now and then (through a new file, renamed over it,
// so that a reader never sees half a number).
class Progress {
public:
    explicit Progress(fs::path file) : file_(std::move(file)) {}
    void answered() {
        const std::size_t done = ++answered_;
        if (file_.empty() || done % 20 != 0) return;
        const std::lock_guard lock(mutex_);
        std::ofstream(file_.string() + ".new") << done << '\n';
        fs::rename(file_.string() + ".new", file_);
    }

private:
    fs::path file_;
    std::atomic<std::size_t> answered_{0};
    std::mutex mutex_;
};

std::vector<UploadRecord> burst(const Options& options, const std::vector<Payload>& payloads) {
    std::vector<UploadRecord> records(options.uploads);
    std::atomic<std::size_t> next{0};
    Progress progress(options.progress);
    {
        std::vector<std::jthread> threads;
        for (std::size_t c = 0; c < options.connections; ++c) {
            threads.emplace_back([&] {
                std::optional<RawConnection> connection;
                for (std::size_t i; (i = next++) < records.size();) {
                    char name[32];
                    std::snprintf(name, sizeof name, "burst-%05zu.log", i);
                    records[i].index = i;
                    records[i].file_name = name;
                    send_one(connection, options.port, payloads[i % payloads.size()], records[i]);
                    progress.answered();
                }
            });
        }
    } // every thread joined: the records are complete
    return records;
}

void print_summary(const std::vector<UploadRecord>& records, double seconds) {
    std::map<unsigned, std::size_t> by_status;
    std::vector<std::uint64_t> latencies;
    for (const UploadRecord& r : records) {
        ++by_status[r.status];
        if (r.status == 200) latencies.push_back(r.latency_us);
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("cluster_burst: %zu uploads in %.1f s (%.0f/s)", records.size(), seconds,
                static_cast<double>(records.size()) / seconds);
    for (const auto& [status, count] : by_status)
        std::printf(", %zu %s", count, status ? ("answered " + std::to_string(status)).c_str() : "unanswered");
    if (!latencies.empty())
        std::printf("; 200s' latency p50 %.1f ms, p99 %.1f ms",
                    static_cast<double>(latencies[latencies.size() / 2]) / 1000.0,
                    static_cast<double>(latencies[latencies.size() * 99 / 100]) / 1000.0);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    try {
        const Options options = options_of(argc, argv);
        const std::vector<Payload> bodies = payloads(options);
        const auto start = SteadyClock::now();
        const std::vector<UploadRecord> records = burst(options, bodies);
        print_summary(records, std::chrono::duration<double>(SteadyClock::now() - start).count());
        write_records(options.record, records);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cluster_burst: %s\n", error.what());
        return 2;
    }
}
