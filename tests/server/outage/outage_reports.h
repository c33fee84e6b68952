// tests/server/outage/outage_reports.h: two days of reports from many subscribers in which one /24 fails Test 3 for
// one hour, kept in a store as uploads are: each stored, then its reading kept.
#pragma once

#include <filesystem>
#include <string>

#include "server/store/store.h"

namespace lum::outage {

using lumresults::Clock;

struct OutagePlan {
    std::filesystem::path scenarios; // the lab's scenarios: all-pass's and dns-failed's reports are replayed
    std::filesystem::path work;      // where the two reports' files are written
    Clock::time_point end;           // a whole hour: the reports fall in the 48 hours before it
    std::size_t reports = 2000;
};

// The block and hour of the outage, which the overview must find.
inline const std::string OUTAGE_BLOCK = "100.102.7.0/24";
inline Clock::time_point outage_hour(const OutagePlan& plan) { return plan.end - std::chrono::hours(5); }

// Puts the plan's reports into the store: every subscriber's from 20 /24s of the customer blocks, spread
// evenly over the 48 hours, 3 % of them failing Test 3 anywhere, and 15 of them, every one failing Test 3,
// from OUTAGE_BLOCK within its outage hour; and a speed test for every tenth report. The same plan always
// gives the same reports.
void put_outage_reports(lumresults::Store& store, const OutagePlan& plan);

} // namespace lum::outage
