// tests/server/fault_test.cpp: uploads outlive the server's sudden death: every acknowledged one is stored once, whole.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <unordered_map>

#include "raw_http.h"
#include "server_child.h"
#include "stored_reports.h"
#include "test_support.h"

namespace {

using namespace lum::server_testing;
using namespace std::chrono_literals;
using lum::testing_support::ScratchFolder;

constexpr int UPLOADS = 1000;
constexpr int CLIENTS = 16;
// The server is killed when this many uploads have been acknowledged, and started again at once.
constexpr int KILL_AT[] = {300, 650};

// One try at one upload: unique to the pair, from a few bytes to about 24 KB (so that some span several
// reads of the server), with every byte value, both kinds of line end and delimiter-like text, so that a
// report cut short, or run into another, cannot pass for a whole one.
std::string report_for(int upload, int attempt) {
    std::mt19937 random(static_cast<unsigned>(upload * 131 + attempt));
    std::string report = "upload " + std::to_string(upload) + " try " + std::to_string(attempt) + "\r\n";
    const std::size_t size = random() % 24000;
    while (report.size() < size) {
        switch (random() % 4) {
        case 0: report += "Reply from 8.8.8.8: bytes=32 time=12ms TTL=117 --FILEUPLOAD--\r\n"; break;
        case 1: report += "\r\n"; break;
        case 2: report += "bare line end\n"; break;
        default:
            for (int byte = 0; byte < 48; ++byte)
                report += static_cast<char>(random() % 256);
        }
    }
    return report + "=== TEST END === 2024-05-06 07:08:09\r\n";
}

struct Sent {
    int upload = 0;
    int attempt = 0;
    std::string report;
    std::optional<long long> acknowledged; // the id of its "OK <id>"
};

// Sixteen clients sharing the uploads still to do. A client whose try fails for any reason tries again with
// a new report, so that every report is sent at most once and "stored twice" can only be the server's doing.
class Campaign {
public:
    explicit Campaign(int port) : port_(port) {}

    void client() {
        for (int upload; !abandoned_ && (upload = next_upload_++) < UPLOADS;)
            for (int attempt = 0; !upload_once(upload, attempt); ++attempt)
                if (abandoned_ || std::chrono::steady_clock::now() > deadline_) return;
    }
    void move_to(int port) { port_ = port; }
    void abandon() { abandoned_ = true; }
    int acknowledged() const { return acknowledged_; }
    const std::vector<Sent>& sent() const { return sent_; }
    const std::map<std::string, int>& odd_answers() const { return odd_answers_; }

private:
    bool upload_once(int upload, int attempt) {
        auto connection = RawConnection::open(port_);
        if (!connection) { // the server is down: nothing was sent, wait for the next one
            std::this_thread::sleep_for(5ms);
            return false;
        }
        Sent sent{upload, attempt, report_for(upload, attempt), {}};
        std::optional<HttpResponse> response;
        if (connection->send_all(upload_request(program_upload_body(sent.report))))
            response = connection->read_response(20s);
        if (response && response->status == 200) sent.acknowledged = acknowledged_id(*response);
        const bool done = sent.acknowledged.has_value();
        record(std::move(sent), response);
        return done;
    }

    void record(Sent sent, const std::optional<HttpResponse>& response) {
        const std::lock_guard lock(mutex_);
        if (response && (response->status != 200 || !sent.acknowledged))
            ++odd_answers_[std::to_string(response->status) + " " + response->body];
        if (sent.acknowledged) ++acknowledged_;
        sent_.push_back(std::move(sent));
    }

    std::atomic<int> port_;
    std::atomic<int> next_upload_{0};
    std::atomic<int> acknowledged_{0};
    std::atomic<bool> abandoned_{false};
    const std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::now() + 45s;
    std::mutex mutex_;
    std::vector<Sent> sent_;
    std::map<std::string, int> odd_answers_;
};

// Sixteen client threads, ended and joined with the object even when the test stops early.
class Clients {
public:
    explicit Clients(Campaign& campaign) : campaign_(campaign) {
        for (int client = 0; client < CLIENTS; ++client)
            threads_.emplace_back([&campaign] { campaign.client(); });
    }
    ~Clients() {
        campaign_.abandon();
        join();
    }
    void join() {
        for (auto& thread : threads_)
            if (thread.joinable()) thread.join();
    }

private:
    Campaign& campaign_;
    std::vector<std::thread> threads_;
};

void expect_description(const StoredReport& report) {
    EXPECT_EQ(report.size, report.bytes.size()) << "report " << report.id;
    EXPECT_EQ(report.sha256, sha256_hex(report.bytes)) << "report " << report.id;
    EXPECT_EQ(report.caller, "127.0.0.1") << "report " << report.id;
    EXPECT_EQ(report.file_name, "lumtest.log") << "report " << report.id;
    EXPECT_EQ(report.content_type, "text/plain") << "report " << report.id;
}

// Every stored report is one sent report, whole and described truly, stored once; every acknowledged one is
// among them under the id its acknowledgement gave. Returns how many unacknowledged tries were stored.
int expect_stored_once_and_whole(const std::vector<Sent>& sent, const std::vector<StoredReport>& stored) {
    std::unordered_map<std::string_view, const Sent*> by_bytes;
    for (const auto& one : sent)
        by_bytes.emplace(one.report, &one);
    std::unordered_map<const Sent*, long long> stored_as;
    for (const auto& report : stored) {
        expect_description(report);
        const auto found = by_bytes.find(report.bytes);
        if (found == by_bytes.end()) {
            ADD_FAILURE() << "report " << report.id << " (" << report.bytes.size() << " bytes) is no whole upload";
            continue;
        }
        const auto [first, fresh] = stored_as.emplace(found->second, report.id);
        EXPECT_TRUE(fresh) << "upload " << found->second->upload << " try " << found->second->attempt
                           << " stored twice: reports " << first->second << " and " << report.id;
    }
    int unacknowledged_stored = 0;
    for (const auto& one : sent) {
        const auto found = stored_as.find(&one);
        if (!one.acknowledged) {
            unacknowledged_stored += found != stored_as.end();
        } else if (found == stored_as.end()) {
            ADD_FAILURE() << "upload " << one.upload << " acknowledged as " << *one.acknowledged << " is not stored";
        } else {
            EXPECT_EQ(found->second, *one.acknowledged) << "upload " << one.upload;
        }
    }
    return unacknowledged_stored;
}

TEST(ServerFaultTest, AcknowledgedUploadsSurviveSuddenDeathStoredOnceAndWhole) {
    ScratchFolder folder("lumresults_fault_");
    const auto data = folder.path() / "data";
    std::filesystem::create_directory(data);
    int life = 1;
    const auto log = [&] { return folder.path() / ("serve-" + std::to_string(life) + ".log"); };
    std::optional<ServerChild> server(std::in_place, data, std::vector<std::string>{}, log());
    Campaign campaign(server->port());
    std::vector<int> acknowledged_at_kill;
    {
        Clients clients(campaign);
        for (const int kill_at : KILL_AT) {
            ASSERT_TRUE(lum::testing_support::wait_until([&] { return campaign.acknowledged() >= kill_at; }))
                << campaign.acknowledged() << " acknowledged, log " << server->log();
            server->kill_now();
            acknowledged_at_kill.push_back(campaign.acknowledged());
            ++life;
            server.emplace(data, std::vector<std::string>{}, log());
            campaign.move_to(server->port());
        }
        clients.join();
    }
    EXPECT_EQ(server->stop(), 0) << "SIGTERM should end the server cleanly";
    EXPECT_EQ(campaign.acknowledged(), UPLOADS);
    for (const auto& [answer, count] : campaign.odd_answers())
        ADD_FAILURE() << count << " answers other than \"OK <id>\": " << answer;

    const auto stored = stored_reports(data, ReadBytes::ThroughStore);
    const int unacknowledged_stored = expect_stored_once_and_whole(campaign.sent(), stored);
    // The operator's own command gives the same bytes (a few suffice: the listing already matched).
    for (std::size_t index = 0; index < stored.size(); index += stored.size() / 4 + 1)
        EXPECT_EQ(run_lumresults({"report", "--data", data.string(), std::to_string(stored[index].id)}).output,
                  stored[index].bytes);

    std::printf("fault: %d uploads by %d clients, killed at %d and %d acknowledged; %zu tries sent, %zu stored "
                "(%d of the %zu unacknowledged tries)\n",
                UPLOADS, CLIENTS, acknowledged_at_kill.at(0), acknowledged_at_kill.at(1), campaign.sent().size(),
                stored.size(), unacknowledged_stored, campaign.sent().size() - campaign.acknowledged());
}

} // namespace
