// server/speedtest/speedtest_routes.h: the speed-test page's paths: the page and its files, the data it
// measures with, its results, and the results' API.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "server/http/routes.h"
#include "server/http/shared_body.h"
#include "server/speedtest/result_token.h"
#include "server/store/store.h"

namespace lumresults::speedtest {

// The largest download and upload a test may ask for.
constexpr std::uint64_t MOST_TRANSFER_BYTES = 256ull * 1024 * 1024;

struct SpeedTestSite {
    Store& store; // the speed tests, and the audit of listing them
    // Random bytes in a memory file; downloads send them over and over, never making more.
    std::shared_ptr<SharedBody> random;
    // Given to the page as it loads; a result is taken only with one, for the caller's own address.
    ResultTokens tokens;
    // Upload times are told to the page on this clock: the server's steady clock since it started.
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
};

// The site must outlive the routes.
std::vector<Route> speedtest_routes(SpeedTestSite& site);

} // namespace lumresults::speedtest
