// server/speedtest/handlers.h: the speed test's handlers, one group per file, tied to paths in speedtest_routes.cpp.
#pragma once

#include <memory>

#include "server/http/body_receiver.h"
#include "server/http/request.h"
#include "server/http/response.h"
#include "server/speedtest/speedtest_routes.h"

namespace lumresults::speedtest {

// page_files.cpp: the page (GET /?lumnettest), with the token its result must carry, and its scripts
// (the page's, the rate counting it shares with the worker, the worker's) and style.
Response page(SpeedTestSite& site, const Request& request);
Response script(const Request& request);
Response stylesheet(const Request& request);
Response rates(const Request& request);
Response worker(const Request& request);

// transfer_handlers.cpp: what the page measures with.
Response ping(const Request& request);
Response download(SpeedTestSite& site, const Request& request);
std::unique_ptr<BodyReceiver> receive_upload(SpeedTestSite& site, const Request& request);

// result_handlers.cpp: the page's result stored, and the results' API.
std::unique_ptr<BodyReceiver> receive_result(SpeedTestSite& site, const Request& request);
Response api_speed_tests(SpeedTestSite& site, const Request& request);

} // namespace lumresults::speedtest
