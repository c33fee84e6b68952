// tests/server/outage/outage_reports.cpp: the outage's reports: the lab's passing and DNS-failed reports replayed
// from many addresses and times.
#include "outage_reports.h"

#include <cmath>
#include <fstream>
#include <random>

#include "scenario_files.h"
#include "server/common/sha256.h"
#include "server/reports/reading_record.h"

namespace lum::outage {
namespace {

using namespace std::chrono;
using lumresults::NewReport;

constexpr std::size_t OUTAGE_REPORTS = 15;
constexpr double USUAL_FAILURES = 0.03;

// A replay: a scenario's report as the program writes it, in a file every replay of it names, and its reading
// (none of the blocks is one whose address changes a reading, so it is the same from every address).
struct Replay {
    NewReport report;
    lumresults::ReportReading reading;
};

Replay replay_of(const OutagePlan& plan, const std::string& scenario) {
    const std::filesystem::path merged = plan.work / scenario;
    lab::merge_scenario(plan.scenarios / "base", plan.scenarios / scenario, merged);
    std::string bytes;
    for (const std::string& line : lab::expected_report(plan.scenarios / scenario / "report.txt", merged))
        bytes += line + "\r\n";
    const std::filesystem::path file = plan.work / (scenario + ".log");
    std::ofstream(file, std::ios::binary) << bytes;
    lumresults::Sha256 digest;
    digest.update(bytes);
    return {{"", {}, "lumtest.log", "text/plain", bytes.size(), digest.finish_hex(), file},
            lumresults::reading_record(reports::read_report(bytes, "100.102.3.4"))};
}

// The 20 blocks: four /24s in each of five customer blocks (none of them excluded from multicast).
std::string block_network(std::size_t index) {
    static const char* const customer[] = {"100.100.", "100.101.", "100.102.", "100.103.", "100.102."};
    return std::string(customer[index / 4]) + std::to_string(index % 4 + (index / 4 == 4 ? 5 : 1)) + ".";
}

void put(lumresults::ReportStore& store, const Replay& replay, std::string caller, Clock::time_point received) {
    NewReport report = replay.report;
    report.caller = std::move(caller);
    report.received = received;
    store.put_reading(store.put_report(report), replay.reading);
}

} // namespace

void put_outage_reports(lumresults::Store& store, const OutagePlan& plan) {
    std::filesystem::create_directories(plan.work);
    const Replay passed = replay_of(plan, "all-pass");
    const Replay failed = replay_of(plan, "dns-failed");
    std::mt19937 random(20261208);
    std::uniform_int_distribution<std::size_t> block(0, 19);
    std::uniform_int_distribution<int> host(2, 250);
    std::bernoulli_distribution fails(USUAL_FAILURES);
    const Clock::time_point start = plan.end - hours(48);
    const std::size_t usual = plan.reports - OUTAGE_REPORTS;
    for (std::size_t i = 0; i < usual; ++i) {
        const Clock::time_point received = start + duration_cast<Clock::duration>(hours(48) * i / usual) + seconds(7);
        const std::string caller = block_network(block(random)) + std::to_string(host(random));
        put(store, fails(random) ? failed : passed, caller, received);
        if (i % 10 == 0) {
            const double line = std::exp2(6 + (i / 10) % 4); // lines of 64 to 512 Mbit/s
            store.put_speed_test({caller, received + minutes(2), "Browser/1.0", 0.93 * line, 0.45 * line, 12.0, 1.5});
        }
    }
    const Clock::time_point hour = outage_hour(plan);
    const std::string outage = OUTAGE_BLOCK.substr(0, OUTAGE_BLOCK.rfind('.') + 1);
    for (std::size_t i = 0; i < OUTAGE_REPORTS; ++i)
        put(store, failed, outage + std::to_string(host(random)), hour + minutes(3 * i + 1));
}

} // namespace lum::outage
