// server/site/results_site.h: the results server's paths: the program's four, the front page and /metrics.
#pragma once

#include <memory>
#include <vector>

#include "server/http/metrics.h"
#include "server/http/routes.h"
#include "server/http/shared_body.h"
#include "server/store/store.h"
#include "server/upload/report_upload.h"

namespace lumresults {

// The download's size: the program reports the rate of exactly this many bytes.
constexpr std::uint64_t DOWNLOAD_BYTES = 10 * 1024 * 1024;

struct Site {
    Store& store;
    Metrics& metrics;
    UploadSettings upload;
    std::shared_ptr<SharedBody> download;
};

// The route table, most particular first. The site must outlive the routes.
std::vector<Route> results_routes(Site& site);

// The download file's answer: DOWNLOAD_BYTES random bytes, never cached on the way.
std::shared_ptr<SharedBody> make_download_body();

} // namespace lumresults
