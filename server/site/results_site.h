// server/site/results_site.h: the results server's paths: the program's four, the front page, /metrics, the
// support dashboard's and the speed test's.
#pragma once

#include <memory>
#include <vector>

#include "server/http/metrics.h"
#include "server/http/routes.h"
#include "server/http/shared_body.h"
#include "server/speedtest/speedtest_routes.h"
#include "server/store/store.h"
#include "server/dashboard/dashboard_routes.h"
#include "server/upload/report_upload.h"

namespace lumresults {

// The download's size: the program reports the rate of exactly this many bytes.
constexpr std::uint64_t DOWNLOAD_BYTES = 10 * 1024 * 1024;

struct Site {
    // Spelled out so that the dashboard's members below keep their defaults without a warning.
    Site(Store& store_, Metrics& metrics_, UploadSettings upload_, std::shared_ptr<SharedBody> download_)
        : store(store_), metrics(metrics_), upload(std::move(upload_)), download(std::move(download_)) {}

    Store& store;
    Metrics& metrics;
    UploadSettings upload;
    std::shared_ptr<SharedBody> download;
    dashboard::AccountPolicy accounts;                        // the dashboard's sign-in and session rules
    dashboard::DashboardSite dashboard_site{store, accounts}; // the dashboard's handlers share this
    // The speed test's downloads send the download file's bytes; its result tokens use the store's shared key.
    speedtest::SpeedTestSite speed_test{store, download, speedtest::ResultTokens(speedtest::result_key(store))};
};

// The route table, most particular first. The site must outlive the routes.
std::vector<Route> results_routes(Site& site);

// The download file's answer: DOWNLOAD_BYTES random bytes, never cached on the way, in a file in `directory`.
std::shared_ptr<SharedBody> make_download_body(const std::filesystem::path& directory);

} // namespace lumresults
