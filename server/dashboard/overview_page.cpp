// server/dashboard/overview_page.cpp: /support/overview for staff (the operator's clock) and /api/v1/overview for
// the operator's programs (UTC), from the same figures.
#include <cstdio>

#include <nlohmann/json.hpp>

#include "server/common/blanks.h"
#include "server/dashboard/handlers.h"
#include "server/web/local_time.h"
#include "server/dashboard/overview.h"
#include "server/dashboard/overview_charts.h"
#include "server/dashboard/page_response.h"
#include "server/web/utc_time.h"
#include "rules/test_names.h"

namespace lumresults::dashboard {
namespace {

std::string percent(std::int64_t part, std::int64_t whole) {
    if (whole == 0) return "–";
    char text[16];
    std::snprintf(text, sizeof text, "%.0f %%", 100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

std::string rate_text(const std::optional<double>& mbps) {
    if (!mbps) return "–";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f Mbit/s", *mbps);
    return text;
}

// "2026-03-09 09:00" for an hour's bucket, "2026-03-09" for a day's, on the operator's clock.
std::string bucket_text(Clock::time_point start, Bucket bucket) {
    const std::string text = local_time_text(start);
    return text.substr(0, bucket == Bucket::hour ? 16 : 10);
}

// "2026-03-09T09:00", as the search form reads it.
std::string form_minute(Clock::time_point time) { return local_time_text(time).substr(0, 16).replace(10, 1, "T"); }

// The search's address start for a block: "100.102.3." for 100.102.3.0/24, "2001:db8:1:" for a /48.
std::string search_prefix(const std::string& block) {
    const std::string network = block.substr(0, block.find('/'));
    if (block.ends_with("/24")) return network.substr(0, network.rfind('.') + 1);
    return network.ends_with("::") ? network.substr(0, network.size() - 1) : network;
}

PageList bucket_rows(const Overview& overview, Bucket bucket) {
    PageList rows;
    for (const OverviewBucket& b : overview.buckets) {
        PageData row;
        row.set("time", bucket_text(b.start, bucket));
        row.set("finished", std::to_string(b.finished));
        row.set("cut_short", std::to_string(b.cut_short));
        PageList tests;
        for (const TestFigures& t : b.tests) {
            PageData cell;
            cell.set("share", percent(t.failed, t.reached));
            cell.set("counts", std::to_string(t.failed) + "/" + std::to_string(t.reached));
            tests.push_back(std::move(cell));
        }
        row.set("tests", tests);
        rows.push_back(std::move(row));
    }
    return rows;
}

PageList test_charts(const Overview& overview) {
    PageList charts;
    for (std::size_t test = 0; test < READING_TESTS; ++test) {
        std::int64_t failed = 0;
        std::int64_t reached = 0;
        for (const OverviewBucket& b : overview.buckets) {
            failed += b.tests[test].failed;
            reached += b.tests[test].reached;
        }
        const std::string name(trim_blanks(lum::test_name(static_cast<std::int32_t>(test) + 1)));
        PageData chart;
        chart.set("n", std::to_string(test + 1));
        chart.set("name", name);
        chart.set("summary", percent(failed, reached) + " failed (" + std::to_string(failed) + " of " +
                                 std::to_string(reached) + ")");
        chart.set("chart_html", failure_chart_html(overview.buckets, test, "Share of reports that failed " + name));
        charts.push_back(std::move(chart));
    }
    return charts;
}

PageList speed_rows(const Overview& overview) {
    PageList rows;
    for (const SpeedDay& day : overview.speed_days) {
        PageData row;
        row.set("day", bucket_text(day.start, Bucket::day));
        row.set("download", rate_text(day.download_mbps));
        row.set("upload", rate_text(day.upload_mbps));
        row.set("tests", std::to_string(std::max(day.downloads, day.uploads)));
        rows.push_back(std::move(row));
    }
    return rows;
}

PageList incident_rows(const Overview& overview) {
    PageList rows;
    for (const Incident& incident : overview.incidents) {
        PageData row;
        row.set("hour", bucket_text(incident.hour, Bucket::hour));
        row.set("block", incident.block);
        row.set("test", std::to_string(incident.test));
        row.set("failed", std::to_string(incident.figures.failed) + " of " + std::to_string(incident.figures.reached));
        row.set("share", percent(incident.figures.failed, incident.figures.reached));
        char usual[16];
        std::snprintf(usual, sizeof usual, "%.0f %%", 100 * incident.usual_share);
        row.set("usual", usual);
        char p[24];
        std::snprintf(p, sizeof p, "%.1e", incident.p_value);
        row.set("p", p);
        SearchForm form;
        form.ip = search_prefix(incident.block);
        form.match = "prefix";
        form.from = form_minute(incident.hour);
        form.to = form_minute(incident.hour + std::chrono::minutes(59));
        form.failed = std::to_string(incident.test);
        row.set("search", search_query_string(form, {}));
        rows.push_back(std::move(row));
    }
    return rows;
}

PageData window_option(const std::string& value, const std::string& label, const std::string& chosen) {
    PageData option;
    option.set("value", value);
    option.set("label", label);
    option.set("selected", value == chosen);
    return option;
}

PageData form_data(const OverviewQuery& query) {
    PageData data;
    data.set("windows", PageList{window_option("24h", "last 24 hours", query.window),
                                 window_option("7d", "last 7 days", query.window),
                                 window_option("30d", "last 30 days", query.window)});
    data.set("from", query.from_text);
    data.set("to", query.to_text);
    data.set("block", query.block);
    return data;
}

nlohmann::json overview_json(const OverviewQuery& query, const Overview& overview) {
    nlohmann::json buckets = nlohmann::json::array();
    for (const OverviewBucket& b : overview.buckets) {
        nlohmann::json tests = nlohmann::json::array();
        for (std::size_t t = 0; t < READING_TESTS; ++t)
            tests.push_back({{"test", t + 1}, {"reached", b.tests[t].reached}, {"failed", b.tests[t].failed}});
        buckets.push_back({{"start", utc_time_iso(b.start)},
                           {"reports", {{"finished", b.finished}, {"cut_short", b.cut_short}}},
                           {"tests", tests}});
    }
    nlohmann::json speed = nlohmann::json::array();
    const auto figure = [](const std::optional<double>& value) {
        return value ? nlohmann::json(*value) : nlohmann::json();
    };
    for (const SpeedDay& day : overview.speed_days)
        speed.push_back({{"day", utc_time_iso(day.start)},
                         {"downloads", day.downloads},
                         {"uploads", day.uploads},
                         {"download_mbps_median", figure(day.download_mbps)},
                         {"upload_mbps_median", figure(day.upload_mbps)}});
    nlohmann::json incidents = nlohmann::json::array();
    for (const Incident& i : overview.incidents)
        incidents.push_back({{"hour", utc_time_iso(i.hour)},
                             {"block", i.block},
                             {"test", i.test},
                             {"reached", i.figures.reached},
                             {"failed", i.figures.failed},
                             {"usual_share", i.usual_share},
                             {"p_value", i.p_value}});
    return {{"from", utc_time_iso(query.from)},
            {"to", utc_time_iso(query.to)},
            {"bucket", query.bucket == Bucket::hour ? "hour" : "day"},
            {"block", query.block},
            {"buckets", buckets},
            {"speed", speed},
            {"incidents", incidents},
            {"incident_rule", INCIDENT_RULE}};
}

} // namespace

Response overview_page(DashboardSite& site, const Request& request) {
    const OverviewQuery query = read_overview_query(request, Clock::now(), TimesIn::operator_zone);
    PageData data = form_data(query);
    data.set("title", "Overview");
    if (!query.error.empty()) {
        data.set("error", query.error);
        return page(400, "overview", std::move(data), request);
    }
    const Overview overview = make_overview(site.store, query);
    data.set("shown", true);
    data.set("range", local_time_text(query.from) + " to " + local_time_text(query.to));
    data.set("scope", query.block.empty() ? std::string("the whole network") : "block " + query.block);
    data.set("bucket_name", query.bucket == Bucket::hour ? "Hour" : "Day");
    data.set("bucket_word", query.bucket == Bucket::hour ? "hour" : "day");
    data.set("rows", bucket_rows(overview, query.bucket));
    data.set("reports_chart_html", reports_chart_html(overview.buckets, "Reports received, finished and cut short"));
    data.set("test_charts", test_charts(overview));
    data.set("speed_rows", speed_rows(overview));
    data.set("speed_chart_html", speed_chart_html(overview.speed_days, "Median download and upload per day"));
    const PageList incidents = incident_rows(overview);
    data.set("incidents", incidents);
    data.set("no_incidents", incidents.empty());
    data.set("rule", INCIDENT_RULE);
    return page(200, "overview", std::move(data), request);
}

Response api_overview(DashboardSite& site, const Request& request) {
    const OverviewQuery query = read_overview_query(request, Clock::now(), TimesIn::utc);
    if (!query.error.empty()) return json_error(400, query.error);
    return json_response(200, overview_json(query, make_overview(site.store, query)).dump());
}

} // namespace lumresults::dashboard
