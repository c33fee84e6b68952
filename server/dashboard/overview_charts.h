// server/dashboard/overview_charts.h: the overview's charts as SVG drawn on the server (no script), each to
// stand beside a table of the same figures.
#pragma once

#include <string>
#include <vector>

#include "server/dashboard/overview.h"

namespace lumresults::dashboard {

// Reports per bucket, finished and cut short stacked.
std::string reports_chart_html(const std::vector<OverviewBucket>& buckets, const std::string& label);

// One test's failure share per bucket, 0 to 100 %; a bucket the test was not reached in has no bar.
std::string failure_chart_html(const std::vector<OverviewBucket>& buckets, std::size_t test, const std::string& label);

// The speed tests' daily medians, download and upload, as two lines.
std::string speed_chart_html(const std::vector<SpeedDay>& days, const std::string& label);

} // namespace lumresults::dashboard
