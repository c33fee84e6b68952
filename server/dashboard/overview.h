// server/dashboard/overview.h: the operator's overview: reports, failures per test and speed tests over a
// window, by hour or day, for the network or one address block, and the incident list.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "server/web/search_query.h"
#include "server/http/request.h"
#include "server/store/store.h"

namespace lumresults::dashboard {

enum class Bucket { hour, day };

struct OverviewQuery {
    Clock::time_point from; // whole hours
    Clock::time_point to;
    Bucket bucket = Bucket::hour;
    TimesIn zone = TimesIn::utc; // whose days the day buckets are, and whose clock from and to are read on
    std::string window;          // "24h", "7d" or "30d"; empty when from and to were given
    std::string block;           // as asked ("100.102.0.0/16", "100.102.3.0/24", "2001:db8:1::/48"), or empty
    std::string block_key;       // as the counts name it ("100.102.0.0/16")
    std::string from_text;       // the fields as given, for the form
    std::string to_text;
    std::string error; // empty when the whole query was read; else what to correct
};

// window (24h by default, 7d, 30d) or from and to (at most 400 days apart), bucket (hour up to 31 days, day;
// by default hour up to 3 days), block. `now` decides where a window ends: at the end of now's hour.
OverviewQuery read_overview_query(const Request& request, Clock::time_point now, TimesIn zone);

struct TestFigures {
    std::int64_t reached = 0; // OK or failed
    std::int64_t failed = 0;
};

struct OverviewBucket {
    Clock::time_point start;
    std::int64_t finished = 0;
    std::int64_t cut_short = 0;
    std::array<TestFigures, READING_TESTS> tests{};
};

struct SpeedDay {
    Clock::time_point start;
    std::int64_t downloads = 0;
    std::int64_t uploads = 0;
    std::optional<double> download_mbps; // medians, within 5 %
    std::optional<double> upload_mbps;
};

// A block whose failures of a test in an hour stand out against its own past (see INCIDENT_RULE).
struct Incident {
    Clock::time_point hour;
    std::string block;
    std::int32_t test = 0;
    TestFigures figures;
    double usual_share = 0; // the block's share over the 7 days before, smoothed towards the network's
    double p_value = 1;
};

inline constexpr const char* INCIDENT_RULE =
    "An hour, block and test is listed when at least 5 reports reached the test there and then, and a one-sided "
    "binomial test at 1 % finds more failures than the block's own share over the 7 days before predicts (that "
    "share weighted as 10 more reports at the whole network's share, so that a block with little history is "
    "judged by the network's). The most unlikely first. Blocks are IPv4 /24s and IPv6 /48s; the hours scanned "
    "are the window's last 24.";

struct Overview {
    std::vector<OverviewBucket> buckets; // every bucket of the window, empty ones too
    std::vector<SpeedDay> speed_days;
    std::vector<Incident> incidents; // at most 20
};

Overview make_overview(CountStore& store, const OverviewQuery& query);

// P(X >= k) for X binomial with n trials of probability p.
double binomial_upper_tail(std::int64_t n, std::int64_t k, double p);

} // namespace lumresults::dashboard
