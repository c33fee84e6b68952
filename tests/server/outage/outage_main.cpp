// tests/server/outage/outage_main.cpp: fills a SQLite data folder with the outage's reports, ending at the current
// hour's end, for the browser test's overview.
//
//   outage_reports DATA_DIR SCENARIOS WORK
#include <cstdio>

#include "outage_reports.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: outage_reports DATA_DIR SCENARIOS WORK\n");
        return 2;
    }
    const auto store = lumresults::open_sqlite_store(argv[1]);
    const lum::outage::OutagePlan plan{argv[2], argv[3],
                                       std::chrono::ceil<std::chrono::hours>(lumresults::Clock::now())};
    lum::outage::put_outage_reports(*store, plan);
    std::printf("%s %lld\n", lum::outage::OUTAGE_BLOCK.c_str(),
                static_cast<long long>(lumresults::Clock::to_time_t(lum::outage::outage_hour(plan))));
    return 0;
}
