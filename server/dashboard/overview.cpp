// server/dashboard/overview.cpp: the overview's query, its figures from the counts, and the incident rule.
#include "server/dashboard/overview.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "server/web/local_time.h"
#include "server/net/ip_address.h"

namespace lumresults::dashboard {
namespace {

using namespace std::chrono;

constexpr auto HOUR = hours{1};
constexpr auto MOST_RANGE = days{400};
constexpr auto MOST_HOURLY = days{31};
constexpr auto HOURLY_BY_DEFAULT = days{3};
constexpr auto INCIDENT_HOURS = 24;
constexpr auto BASELINE = days{7};
constexpr std::int64_t LEAST_REACHED = 5;
constexpr double NETWORK_WEIGHT = 10;
constexpr double SIGNIFICANCE = 0.01;
constexpr std::size_t INCIDENTS_SHOWN = 20;

Clock::time_point floor_hour(Clock::time_point time) { return floor<hours>(time); }
Clock::time_point ceil_hour(Clock::time_point time) { return ceil<hours>(time); }

// An IPv4 /16 or /24 or an IPv6 /48 as the counts name it ("100.102.0.0/16"); nothing for another size.
std::optional<std::string> block_key(const std::string& block) {
    const std::optional<Cidr> cidr = parse_cidr(block);
    if (!cidr || block.find('/') == std::string::npos) return std::nullopt;
    const std::vector<std::string> blocks = address_blocks(format_address(cidr->network));
    const bool v4 = cidr->network.is_v4();
    if (v4 && cidr->prefix == 96 + 16) return blocks.back();
    if ((v4 && cidr->prefix == 96 + 24) || (!v4 && cidr->prefix == 48)) return blocks.front();
    return std::nullopt;
}

std::string read_range(OverviewQuery& query, const Request& request, Clock::time_point now) {
    query.from_text = request.query_value("from").value_or("");
    query.to_text = request.query_value("to").value_or("");
    if (query.from_text.empty() && query.to_text.empty()) {
        query.window = request.query_value("window").value_or("24h");
        const std::map<std::string, hours> windows = {{"24h", hours{24}}, {"7d", days{7}}, {"30d", days{30}}};
        const auto window = windows.find(query.window);
        if (window == windows.end()) return "Window must be 24h, 7d or 30d.";
        query.to = ceil_hour(now + milliseconds(1));
        query.from = query.to - window->second;
        return {};
    }
    std::optional<Clock::time_point> from;
    std::optional<Clock::time_point> to;
    if (std::string fault = read_time(query.from_text, false, query.zone, from); !fault.empty()) return fault;
    if (std::string fault = read_time(query.to_text, true, query.zone, to); !fault.empty()) return fault;
    query.from = floor_hour(*from);
    query.to = ceil_hour(*to);
    if (query.from >= query.to) return "From is after To.";
    if (query.to - query.from > MOST_RANGE) return "From and To may be at most 400 days apart.";
    return {};
}

std::string read_bucket(OverviewQuery& query, const Request& request) {
    const std::string bucket = request.query_value("bucket").value_or("");
    if (bucket.empty()) {
        query.bucket = query.to - query.from <= HOURLY_BY_DEFAULT ? Bucket::hour : Bucket::day;
    } else if (bucket == "hour" || bucket == "day") {
        query.bucket = bucket == "hour" ? Bucket::hour : Bucket::day;
    } else {
        return "Bucket must be hour or day.";
    }
    if (query.bucket == Bucket::hour && query.to - query.from > MOST_HOURLY)
        return "Hours are shown for at most 31 days: choose day.";
    return {};
}

// The start of the day `time` is in, on the query's clock, and the start of the next.
Clock::time_point day_start(Clock::time_point time, TimesIn zone) {
    if (zone == TimesIn::utc) return floor<days>(time);
    return local_instant(local_date(time), minutes{0}).value_or(floor<days>(time));
}
Clock::time_point next_day(Clock::time_point start, TimesIn zone) {
    if (zone == TimesIn::utc) return start + days{1};
    const year_month_day next{sys_days{local_date(start + hours{12})} + days{1}};
    return local_instant(next, minutes{0}).value_or(start + days{1});
}

// The starts of the days the query's hours fall in, on its clock.
std::vector<Clock::time_point> day_starts(const OverviewQuery& query) {
    std::vector<Clock::time_point> starts;
    for (Clock::time_point at = day_start(query.from, query.zone); at < query.to; at = next_day(at, query.zone))
        starts.push_back(at);
    return starts;
}

std::vector<Clock::time_point> bucket_starts(const OverviewQuery& query) {
    std::vector<Clock::time_point> starts;
    if (query.bucket == Bucket::hour) {
        for (Clock::time_point at = query.from; at < query.to; at += HOUR)
            starts.push_back(at);
        return starts;
    }
    return day_starts(query);
}

// The bucket an hour falls in: the last that starts at or before it.
std::size_t bucket_of(const std::vector<Clock::time_point>& starts, Clock::time_point hour) {
    const auto after = std::upper_bound(starts.begin(), starts.end(), hour);
    return after == starts.begin() ? 0 : static_cast<std::size_t>(after - starts.begin() - 1);
}

// A test's count added to its figures: OK and failed reached the test; skipped and not reached did not.
void tally(TestFigures& figures, const ReadingCount& count) {
    if (count.verdict == TestVerdict::ok || count.verdict == TestVerdict::failed) figures.reached += count.reports;
    if (count.verdict == TestVerdict::failed) figures.failed += count.reports;
}

bool is_test(const ReadingCount& count) {
    return count.test >= 1 && count.test <= static_cast<std::int32_t>(READING_TESTS);
}

void add_count(OverviewBucket& bucket, const ReadingCount& count) {
    if (count.test == 0) (count.verdict == TestVerdict::ok ? bucket.finished : bucket.cut_short) += count.reports;
    if (is_test(count)) tally(bucket.tests[static_cast<std::size_t>(count.test - 1)], count);
}

// The median of a histogram of rate buckets: the middle of the bucket that holds the middle figure.
std::optional<double> median(const std::map<std::int32_t, std::int64_t>& histogram, std::int64_t total) {
    std::int64_t seen = 0;
    for (const auto& [bucket, tests] : histogram) {
        seen += tests;
        if (2 * seen >= total) return bucket_middle(bucket);
    }
    return std::nullopt;
}

std::vector<SpeedDay> speed_days(CountStore& store, const OverviewQuery& query) {
    const std::vector<Clock::time_point> starts = day_starts(query);
    std::vector<std::array<std::map<std::int32_t, std::int64_t>, 2>> histograms(starts.size());
    for (const SpeedCount& count : store.speed_counts({query.from, query.to, query.block_key}))
        histograms[bucket_of(starts, count.hour)][count.upload ? 1 : 0][count.bucket] += count.tests;
    std::vector<SpeedDay> days;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        SpeedDay day;
        day.start = starts[i];
        for (const auto& [bucket, tests] : histograms[i][0])
            day.downloads += tests;
        for (const auto& [bucket, tests] : histograms[i][1])
            day.uploads += tests;
        day.download_mbps = median(histograms[i][0], day.downloads);
        day.upload_mbps = median(histograms[i][1], day.uploads);
        days.push_back(day);
    }
    return days;
}

// (block, test) -> figures, from counts summed over some hours.
std::map<std::pair<std::string, std::int32_t>, TestFigures> figures_by_block(const std::vector<ReadingCount>& counts) {
    std::map<std::pair<std::string, std::int32_t>, TestFigures> figures;
    for (const ReadingCount& count : counts) {
        if (is_test(count)) tally(figures[{count.block, count.test}], count);
    }
    return figures;
}

using Shares = std::array<double, READING_TESTS + 1>;
using HourFigures = std::map<Clock::time_point, std::array<TestFigures, READING_TESTS + 1>>;

// The whole network's figures by hour, from the week before `first` up to `last`: one read for every hour
// the incident scan weighs.
HourFigures network_hours(CountStore& store, Clock::time_point first, Clock::time_point last) {
    HourFigures hours;
    for (const ReadingCount& count : store.reading_counts({first - BASELINE, last, {}}))
        if (is_test(count)) tally(hours[count.hour][static_cast<std::size_t>(count.test)], count);
    return hours;
}

// The whole network's share of each test's failures over the 7 days before `hour`.
Shares network_shares(const HourFigures& network, Clock::time_point hour) {
    std::array<TestFigures, READING_TESTS + 1> totals{};
    for (auto at = network.lower_bound(hour - BASELINE); at != network.end() && at->first < hour; ++at)
        for (std::size_t test = 1; test <= READING_TESTS; ++test) {
            totals[test].reached += at->second[test].reached;
            totals[test].failed += at->second[test].failed;
        }
    Shares shares{};
    for (std::size_t test = 1; test <= READING_TESTS; ++test)
        shares[test] = totals[test].reached == 0
                           ? 0.05
                           : static_cast<double>(totals[test].failed) / static_cast<double>(totals[test].reached);
    return shares;
}

// One hour's incidents among its busy blocks: their tests with enough reports and failures, weighed against
// their own week.
void find_incidents(CountStore& store, const HourFigures& network_figures, Clock::time_point hour,
                    const std::vector<std::string>& busy, std::vector<Incident>& found) {
    const auto now = figures_by_block(store.block_counts({hour, hour + HOUR, {}}, busy));
    std::vector<std::string> candidates;
    for (const auto& [key, figures] : now)
        if (figures.reached >= LEAST_REACHED && figures.failed > 0) candidates.push_back(key.first);
    if (candidates.empty()) return;
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    const auto week = figures_by_block(store.block_counts({hour - BASELINE, hour, {}}, candidates));
    const Shares network = network_shares(network_figures, hour);
    for (const auto& [key, figures] : now) {
        if (figures.reached < LEAST_REACHED || figures.failed == 0) continue;
        const auto past = week.find(key);
        const TestFigures usual = past == week.end() ? TestFigures{} : past->second;
        const double share =
            (static_cast<double>(usual.failed) + NETWORK_WEIGHT * network[static_cast<std::size_t>(key.second)]) /
            (static_cast<double>(usual.reached) + NETWORK_WEIGHT);
        const double p = binomial_upper_tail(figures.reached, figures.failed, share);
        if (p < SIGNIFICANCE) found.push_back({hour, key.first, key.second, figures, share, p});
    }
}

} // namespace

double binomial_upper_tail(std::int64_t n, std::int64_t k, double p) {
    if (k <= 0) return 1;
    if (p <= 0) return 0;
    if (p >= 1) return 1;
    double tail = 0;
    for (std::int64_t i = k; i <= n; ++i) {
        const double log_term = std::lgamma(static_cast<double>(n) + 1) - std::lgamma(static_cast<double>(i) + 1) -
                                std::lgamma(static_cast<double>(n - i) + 1) + static_cast<double>(i) * std::log(p) +
                                static_cast<double>(n - i) * std::log1p(-p);
        tail += std::exp(log_term);
    }
    return std::min(tail, 1.0);
}

OverviewQuery read_overview_query(const Request& request, Clock::time_point now, TimesIn zone) {
    OverviewQuery query;
    query.zone = zone;
    query.block = request.query_value("block").value_or("");
    query.error = read_range(query, request, now);
    if (query.error.empty()) query.error = read_bucket(query, request);
    if (query.error.empty() && !query.block.empty()) {
        const std::optional<std::string> key = block_key(query.block);
        if (!key) query.error = "Block must be an IPv4 /16 or /24 (100.102.0.0/16) or an IPv6 /48.";
        query.block_key = key.value_or("");
    }
    return query;
}

Overview make_overview(CountStore& store, const OverviewQuery& query) {
    Overview overview;
    const std::vector<Clock::time_point> starts = bucket_starts(query);
    for (const Clock::time_point start : starts) {
        overview.buckets.emplace_back();
        overview.buckets.back().start = start;
    }
    for (const ReadingCount& count : store.reading_counts({query.from, query.to, query.block_key}))
        add_count(overview.buckets[bucket_of(starts, count.hour)], count);
    overview.speed_days = speed_days(store, query);
    // Only blocks with enough reports in an hour can stand out in it: those are found first, from the hours'
    // own rows, and only their tests and weeks are read.
    std::map<Clock::time_point, std::vector<std::string>> busy;
    const Clock::time_point scanned = std::max(query.from, query.to - hours{INCIDENT_HOURS});
    for (const ReadingCount& count : store.busy_blocks({scanned, query.to, query.block_key}, LEAST_REACHED))
        busy[count.hour].push_back(count.block);
    const HourFigures network = busy.empty() ? HourFigures{} : network_hours(store, busy.begin()->first, query.to);
    for (const auto& [hour, blocks] : busy)
        find_incidents(store, network, hour, blocks, overview.incidents);
    std::sort(overview.incidents.begin(), overview.incidents.end(),
              [](const Incident& a, const Incident& b) { return a.p_value < b.p_value; });
    if (overview.incidents.size() > INCIDENTS_SHOWN) overview.incidents.resize(INCIDENTS_SHOWN);
    return overview;
}

} // namespace lumresults::dashboard
