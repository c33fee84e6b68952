// server/dashboard/overview_charts.cpp: bars and lines in a fixed view box that the page scales to its width.
//
// Every text in the SVG is this program's own (numbers, and labels passed in from the page's code); the
// chart is an image with a label for screen readers, and the table beside it holds the figures.
#include "server/dashboard/overview_charts.h"

#include <algorithm>
#include <cstdio>

namespace lumresults::dashboard {
namespace {

constexpr double WIDTH = 640;
constexpr double HEIGHT = 160;
constexpr double LEFT = 52; // room for the scale's labels
constexpr double TOP = 8;
constexpr double BOTTOM = 8;

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string open_svg(const std::string& label, const std::string& top_label) {
    return "<svg class=\"chart\" viewBox=\"0 0 " + number(WIDTH) + " " + number(HEIGHT) +
           "\" role=\"img\" aria-label=\"" + label + "\" preserveAspectRatio=\"none\">" + "<line class=\"axis\" x1=\"" +
           number(LEFT) + "\" y1=\"" + number(HEIGHT - BOTTOM) + "\" x2=\"" + number(WIDTH) + "\" y2=\"" +
           number(HEIGHT - BOTTOM) + "\"/>" + "<text class=\"scale\" x=\"" + number(LEFT - 4) + "\" y=\"" +
           number(TOP + 10) + "\" text-anchor=\"end\">" + top_label + "</text>" + "<text class=\"scale\" x=\"" +
           number(LEFT - 4) + "\" y=\"" + number(HEIGHT - BOTTOM) + "\" text-anchor=\"end\">0</text>";
}

// The x of bucket i's left edge and a bar's width, for n buckets.
double x_of(std::size_t i, std::size_t n) {
    return LEFT + (WIDTH - LEFT) * static_cast<double>(i) / static_cast<double>(n);
}
double bar_width(std::size_t n) { return std::max(1.0, (WIDTH - LEFT) / static_cast<double>(n) - 1); }

std::string bar(const char* css_class, double x, double width, double value, double base, double scale) {
    const double height = value * scale;
    return std::string("<rect class=\"") + css_class + "\" x=\"" + number(x) + "\" y=\"" +
           number(HEIGHT - BOTTOM - base * scale - height) + "\" width=\"" + number(width) + "\" height=\"" +
           number(height) + "\"/>";
}

} // namespace

std::string reports_chart_html(const std::vector<OverviewBucket>& buckets, const std::string& label) {
    std::int64_t most = 1;
    for (const OverviewBucket& bucket : buckets)
        most = std::max(most, bucket.finished + bucket.cut_short);
    const double scale = (HEIGHT - TOP - BOTTOM) / static_cast<double>(most);
    std::string svg = open_svg(label, std::to_string(most));
    for (std::size_t i = 0; i < buckets.size(); ++i) {
        const double x = x_of(i, buckets.size());
        const auto finished = static_cast<double>(buckets[i].finished);
        svg += bar("bar-finished", x, bar_width(buckets.size()), finished, 0, scale);
        svg += bar("bar-cut", x, bar_width(buckets.size()), static_cast<double>(buckets[i].cut_short), finished, scale);
    }
    return svg + "</svg>";
}

std::string failure_chart_html(const std::vector<OverviewBucket>& buckets, std::size_t test, const std::string& label) {
    const double scale = HEIGHT - TOP - BOTTOM;
    std::string svg = open_svg(label, "100 %");
    for (std::size_t i = 0; i < buckets.size(); ++i) {
        const TestFigures& figures = buckets[i].tests[test];
        if (figures.reached == 0) continue;
        const double share = static_cast<double>(figures.failed) / static_cast<double>(figures.reached);
        svg += bar("bar-failed", x_of(i, buckets.size()), bar_width(buckets.size()), share, 0, scale);
    }
    return svg + "</svg>";
}

std::string speed_chart_html(const std::vector<SpeedDay>& days, const std::string& label) {
    double most = 1;
    for (const SpeedDay& day : days)
        most = std::max({most, day.download_mbps.value_or(0), day.upload_mbps.value_or(0)});
    const double scale = (HEIGHT - TOP - BOTTOM) / most;
    std::string svg = open_svg(label, number(most));
    // Each day's figure is also marked by a short level stroke, so that a lone day (no line to draw) shows.
    const double tick = std::min(12.0, bar_width(days.size()) / 4);
    for (const bool upload : {false, true}) {
        const std::string css_class = upload ? "line-upload" : "line-download";
        std::string points;
        for (std::size_t i = 0; i < days.size(); ++i) {
            const std::optional<double> figure = upload ? days[i].upload_mbps : days[i].download_mbps;
            if (!figure) continue;
            const double x = x_of(i, days.size()) + bar_width(days.size()) / 2;
            const std::string y = number(HEIGHT - BOTTOM - *figure * scale);
            points += number(x) + "," + y + " ";
            svg += "<line class=\"" + css_class + " tick\" x1=\"" + number(x - tick) + "\" y1=\"" + y + "\" x2=\"" +
                   number(x + tick) + "\" y2=\"" + y + "\"/>";
        }
        if (!points.empty()) svg += "<polyline class=\"" + css_class + "\" points=\"" + points + "\"/>";
    }
    return svg + "</svg>";
}

} // namespace lumresults::dashboard
