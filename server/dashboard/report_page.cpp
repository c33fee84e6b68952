// server/dashboard/report_page.cpp: one report as the subscriber's window showed it, then what lies behind the
// rows: the figures, the network configuration and every line, and the download of the stored bytes.
#include <chrono>
#include <cstdio>
#include <memory>

#include "server/reports/computer_ids.h"
#include "server/reports/decoding/decoder.h"
#include "server/reports/report_reading.h"
#include "server/web/display_text.h"
#include "server/dashboard/found_rows.h"
#include "server/dashboard/handlers.h"
#include "server/dashboard/page_response.h"
#include "server/dashboard/row_colors.h"
#include "server/web/search_query.h"
#include "server/dashboard/section_views.h"
#include "server/web/local_time.h"

namespace lumresults::dashboard {
namespace {

using lum::reports::ReadReport;
using lum::reports::TestReading;
using lum::reports::Verdict;

constexpr std::size_t OTHER_REPORTS = 20;
constexpr std::size_t SPEED_TESTS_SHOWN = 10;
constexpr std::chrono::hours SPEED_TEST_SPAN{24};

std::string lines_text(std::size_t count) { return std::to_string(count) + (count == 1 ? " line" : " lines"); }

PageData row_data(const TestReading& test) {
    PageData row;
    row.set("n", std::to_string(test.number));
    row.set("derived", test.derived);
    if (!test.row_text.empty()) {
        row.set("class", color_class(test.row_color));
        row.set("text", test.row_text);
        return row;
    }
    // The window had no row here; say why, in words that cannot be taken for the window's own.
    row.set("class", "no-row");
    row.set("text", "Test " + std::to_string(test.number) +
                        (test.verdict == Verdict::Skip ? ": skipped, no row shown" : ": not reached, no row shown"));
    return row;
}

void add_figure(PageList& figures, const TestReading& test, const char* name, std::string value) {
    PageData figure;
    figure.set("test", "Test " + std::to_string(test.number));
    figure.set("name", name);
    figure.set("value", std::move(value));
    figures.push_back(std::move(figure));
}

// "4 sent, 4 received, 0 lost; 33/38/35 ms (minimum/maximum/average)", as ping counted them.
std::string ping_text(const lum::reports::PingStatistics& ping) {
    std::string text = std::to_string(ping.sent) + " sent, " + std::to_string(ping.received) + " received, " +
                       std::to_string(ping.lost) + " lost";
    if (ping.average_ms)
        text += "; " + std::to_string(*ping.minimum_ms) + "/" + std::to_string(*ping.maximum_ms) + "/" +
                std::to_string(*ping.average_ms) + " ms (minimum/maximum/average)";
    return text;
}

PageList figures_data(const ReadReport& reading) {
    PageList figures;
    for (const TestReading& test : reading.tests) {
        if (!test.ran) continue;
        const auto& f = test.figures;
        if (test.number == 2 || test.number == 5) {
            add_figure(figures, test, "Lost echoes", std::to_string(f.lost_echoes));
            if (f.ping) add_figure(figures, test, "Ping's own statistics", ping_text(*f.ping));
        }
        if (test.number == 4) {
            add_figure(figures, test, "Lost probes", std::to_string(f.lost_probes));
            if (f.average_ms) add_figure(figures, test, "Average round trip", std::to_string(*f.average_ms) + " ms");
            add_figure(figures, test, "Too slow for multicast", f.too_slow_for_multicast ? "yes" : "no");
        }
        if (test.number == 6) {
            add_figure(figures, test, "Rate (download tool)", f.rate_text.empty() ? "none" : f.rate_text);
            if (f.mbps) {
                char text[32];
                std::snprintf(text, sizeof text, "%.0f Mbps", *f.mbps);
                add_figure(figures, test, "Speed (as the row shows it)", text);
            }
        }
        if (test.number == 7) add_figure(figures, test, "Packets received", std::to_string(f.packets_received));
    }
    return figures;
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

PageList adapters_data(const ReadReport& reading) {
    PageList adapters;
    for (const auto& adapter : reading.adapters) {
        PageData item;
        item.set("name", adapter.name);
        item.set("ipv4", joined(adapter.ipv4));
        item.set("mac", adapter.mac);
        item.set("gateways", joined(adapter.gateways));
        item.set("dns", joined(adapter.dns_servers));
        item.set("masks", joined(adapter.masks));
        item.set("dhcp", adapter.dhcp ? (*adapter.dhcp ? "yes" : "no") : "not shown");
        adapters.push_back(std::move(item));
    }
    return adapters;
}

// The lines of each test, and the whole report's, as the page shows them. Each <pre> shows about its first
// LINES_SHOWN bytes of HTML (every test of a report the program writes: a test's lines are a few kilobytes),
// so that whatever a report holds its page stays under two megabytes (a byte can cost thirty on the page,
// a control byte between letters); the rest is a link away: the one stretch asked for whole, streamed, to
// twice the report's size (any text the program writes costs about its own size), or the download.
constexpr std::size_t LINES_SHOWN = 128 * 1024;
std::size_t whole_shown(std::size_t report_size) { return 2 * report_size + LINES_SHOWN; }
const std::string WHOLE_REPORT = "all";

// One <pre> of lines: a test's ("1" to "7") or the whole report's ("all"), as the ids section-KEY and raw-KEY
// and the query whole=KEY name it.
struct Stretch {
    std::string key;
    std::string title;
    std::size_t line_count = 0;
    lum::reports::ByteRange bytes;
    bool open = false;
};

std::vector<Stretch> stretches(const ReadReport& reading, std::size_t size) {
    std::vector<Stretch> all;
    for (const TestReading& test : reading.tests)
        all.push_back({std::to_string(test.number), "Test " + std::to_string(test.number), test.lines.count, test.bytes,
                       test.verdict == Verdict::Failed || test.derived});
    all.push_back({WHOLE_REPORT, "The whole report", reading.line_count, {0, size}, false});
    return all;
}

// The view chosen for one section, as the query asks for it, to keep it on a link to another view.
std::string view_query(const ChosenView& chosen) {
    if (!chosen.section) return {};
    return "&section=" + std::to_string(*chosen.section) +
           "&as=" + (chosen.code_page ? std::to_string(*chosen.code_page) : std::string("raw"));
}

// What is left of a stretch after its page's share: how much, and the ways to it.
PageList rest_data(const Stretch& stretch, const ShownLines& shown, bool streamed, const ChosenView& chosen) {
    if (shown.rest_bytes == 0) return {};
    PageData rest;
    rest.set("of", stretch.key == WHOLE_REPORT ? "the report" : "this test");
    rest.set("lines", lines_text(shown.rest_lines));
    rest.set("bytes", std::to_string(shown.rest_bytes));
    if (!streamed) rest.set("show_all", "?whole=" + stretch.key + view_query(chosen) + "#section-" + stretch.key);
    return PageList{std::move(rest)};
}

// The stretch asked for whole: whole=KEY for a stretch of this report, or none.
std::string whole_asked(const Request& request, const ReadReport& reading) {
    const std::string key = request.query_value("whole").value_or("");
    for (const Stretch& stretch : stretches(reading, 0))
        if (stretch.key == key) return key;
    return {};
}

// Each stretch's lines; those of the one asked for whole are measured here and made again as they are sent,
// keeping the report's bytes with them.
struct LinesData {
    PageList sections;
    StreamedHtml streamed;
};

LinesData lines_data(const ReadReport& reading, const std::shared_ptr<const std::string>& bytes,
                     const SectionViews& views, const std::string& whole, const ChosenView& chosen) {
    LinesData lines;
    for (const Stretch& stretch : stretches(reading, bytes->size())) {
        const bool streamed = stretch.key == whole;
        const std::size_t budget = streamed ? whole_shown(bytes->size()) : LINES_SHOWN;
        const ShownLines shown = views.shown_lines(stretch.bytes.begin, stretch.bytes.end, budget, !streamed);
        PageData section;
        section.set("n", stretch.key);
        section.set("title", stretch.title);
        section.set("line_count", lines_text(stretch.line_count));
        section.set("open", stretch.open || streamed);
        section.set("parts",
                    stretch.key == WHOLE_REPORT ? PageList{} : views.parts(stretch.bytes.begin, stretch.bytes.end));
        section.set("lines_html", streamed ? streamed_here() : shown.html);
        section.set("rest", rest_data(stretch, shown, streamed, chosen));
        lines.sections.push_back(std::move(section));
        if (!streamed) continue;
        auto made = std::make_shared<LinesHtml>(views.pieces(stretch.bytes.begin, stretch.bytes.end), budget);
        lines.streamed = {shown.html_size, [made, bytes](std::string& out) { return made->next(out); }};
    }
    return lines;
}

std::string code_page_text(const lum::reports::CodePageGuess& guess) {
    if (guess.code_page == lum::reports::ASCII_ONLY) return "ASCII only: every code page reads it alike";
    return code_page_label(guess.code_page) + ", " + std::string(lum::reports::basis_text(guess.basis));
}

PageData header_data(const ReportInfo& info, const ReadReport& reading) {
    PageData data;
    data.set("id", std::to_string(info.id));
    data.set("title", "Report " + std::to_string(info.id) + " from " + info.caller);
    data.set("received", local_time_text(info.received));
    data.set("caller", info.caller);
    data.set("size", std::to_string(info.size));
    data.set("sha256", info.sha256);
    const std::string release = lum::reports::decoded_text(reading.release, reading.code_page.code_page);
    data.set("release", release.empty() ? std::string("none") : release);
    data.set("start_time", reading.start_time.empty() ? std::string("none") : reading.start_time);
    data.set("end_time", reading.finished ? reading.end_time : std::string("the report ends before the run did"));
    data.set("line_count", lines_text(reading.line_count));
    data.set("code_page", code_page_text(reading.code_page));
    data.set("host_name", reading.host_name.empty() ? std::string("not shown") : reading.host_name);
    return data;
}

PageList other_reports(Store& store, const ReportInfo& info, ReportSearch search) {
    search.limit = OTHER_REPORTS + 1;
    FoundPage found = find_reports(store, search);
    std::erase_if(found.reports, [&info](const FoundReport& report) { return report.info.id == info.id; });
    if (found.reports.size() > OTHER_REPORTS) found.reports.resize(OTHER_REPORTS);
    return found_rows(found);
}

// The subscriber's computer by its adapters' MACs, or by its name where the report shows no MAC; the same
// search in the search page's words, for the link to all of them.
struct ComputerSearch {
    ReportSearch search;
    std::string form;
};

std::optional<ComputerSearch> computer_search(const ReadReport& reading) {
    const lum::reports::ComputerIds ids = lum::reports::computer_ids(reading);
    ComputerSearch found;
    if (!ids.macs.empty()) {
        found.search.computer_macs = ids.macs;
        found.form = joined(ids.macs);
    } else if (!ids.host_name.empty()) {
        found.search.computer_name = ids.host_name;
        found.form = ids.host_name;
    } else {
        return std::nullopt;
    }
    return found;
}

// Who sent the report, as the session that held its address said, and how the page knows; with the search
// for every report of that subscriber.
void add_subscriber(PageData& data, Store& store, const ReportInfo& info) {
    const std::optional<ReportSubscriber> subscriber = store.report_subscriber(info.id);
    data.set("who_known", subscriber.has_value());
    if (!subscriber) return;
    data.set("who", subscriber->user_name);
    data.set("session_start", local_time_text(subscriber->session_start));
    data.set("node", subscriber->node_id.empty() ? subscriber->node_address
                                                 : subscriber->node_address + " (" + subscriber->node_id + ")");
    data.set("port", subscriber->port_id.empty() ? std::string("not named") : subscriber->port_id);
    SearchForm form;
    form.subscriber = subscriber->user_name;
    data.set("who_query", search_query_string(form, {}));
}

// Reports from the same computer that came from other addresses: the same subscriber on another day.
void add_same_computer(PageData& data, Store& store, const ReportInfo& info, const ReadReport& reading) {
    const std::optional<ComputerSearch> computer = computer_search(reading);
    data.set("computer_known", computer.has_value());
    if (!computer) return;
    ReportSearch search = computer->search;
    search.other_than_caller = info.caller;
    PageData table;
    const PageList others = other_reports(store, info, search);
    table.set("none", others.empty());
    table.set("reports", others);
    table.set("table_id", "same-computer-table");
    table.set("caption", "Reports from the same computer and other addresses, newest first");
    data.set("same_computer", PageList{std::move(table)});
    SearchForm form;
    form.computer = computer->form;
    data.set("computer_query", search_query_string(form, {}));
}

std::string figure_text(const std::optional<double>& figure, const char* unit) {
    if (!figure) return "none";
    char text[48];
    std::snprintf(text, sizeof text, "%.1f %s", *figure, unit);
    return text;
}

// The subscriber's speed tests within a day either side of the report: a line slow in the browser too, or
// only in the program, tells support where to look.
PageList speed_tests_near(Store& store, const ReportInfo& info) {
    SpeedTestSearch search;
    search.caller = info.caller;
    search.since = info.received - SPEED_TEST_SPAN;
    search.until = info.received + SPEED_TEST_SPAN;
    search.limit = SPEED_TESTS_SHOWN;
    PageList tests;
    for (const SpeedTest& test : store.search_speed_tests(search)) {
        PageData row;
        row.set("time", local_time_text(test.received));
        row.set("download", figure_text(test.download_mbps, "Mbit/s"));
        row.set("upload", figure_text(test.upload_mbps, "Mbit/s"));
        row.set("latency", figure_text(test.latency_ms, "ms"));
        row.set("jitter", figure_text(test.jitter_ms, "ms"));
        row.set("browser", test.user_agent.empty() ? std::string("not named") : test.user_agent);
        tests.push_back(std::move(row));
    }
    return tests;
}

std::string stored_bytes(Store& store, const ReportInfo& info) {
    std::string bytes;
    bytes.reserve(info.size); // bounded by the upload limit
    store.read_report(info.id, [&bytes](std::string_view piece) { bytes += piece; });
    return bytes;
}

PageData report_data(DashboardSite& site, const ReportInfo& info, const ReadReport& reading) {
    PageData data = header_data(info, reading);
    PageList rows;
    for (const TestReading& test : reading.tests)
        rows.push_back(row_data(test));
    data.set("rows", rows);
    const PageList figures = figures_data(reading);
    data.set("figures", figures);
    data.set("no_figures", figures.empty());
    data.set("adapters", adapters_data(reading));
    data.set("no_adapters", reading.adapters.empty());
    ReportSearch same_address;
    same_address.caller = info.caller;
    const PageList others = other_reports(site.store, info, same_address);
    data.set("reports", others);
    data.set("no_others", others.empty());
    data.set("table_id", "other-reports-table");
    data.set("caption", "Other reports from the same address, newest first");
    add_same_computer(data, site.store, info, reading);
    add_subscriber(data, site.store, info);
    const PageList speed_tests = speed_tests_near(site.store, info);
    data.set("speed_tests", speed_tests);
    data.set("no_speed_tests", speed_tests.empty());
    return data;
}

// The report's bytes are read once and its lines made once (the stretch asked for whole twice: once for
// its length, once as it is sent): the page holds the report's bytes, its reading and a page of eight
// LINES_SHOWN at most, whatever the report's size or bytes.
Response report_page(DashboardSite& site, const Request& request, const ReportInfo& info) {
    const auto bytes = std::make_shared<const std::string>(stored_bytes(site.store, info));
    const ReadReport reading = lum::reports::read_report(*bytes, info.caller);
    PageData data = report_data(site, info, reading);
    const ChosenView chosen = chosen_view(request);
    const SectionViews views(reading, *bytes, chosen);
    const std::string whole = whole_asked(request, reading);
    LinesData lines = lines_data(reading, bytes, views, whole, chosen);
    data.set("sections", std::move(lines.sections));
    if (!whole.empty()) data.set("whole", whole);
    // A HEAD shows nobody anything.
    if (request.method == "GET") audit_report(site.store, request, "report viewed", info.id);
    if (whole.empty()) return page(200, "report", std::move(data), request);
    return streamed_page(200, "report", std::move(data), request, std::move(lines.streamed));
}

} // namespace

Response report_download(Store& store, const Request& request, const ReportInfo& info) {
    if (request.method == "GET") audit_report(store, request, "report downloaded", info.id);
    return attachment(stored_bytes(store, info), "application/octet-stream",
                      "lumtest-" + std::to_string(info.id) + ".log");
}

Response report_path(DashboardSite& site, const Request& request) {
    std::string_view rest = std::string_view(request.path).substr(std::string_view("/support/reports/").size());
    const bool wants_download = rest.ends_with("/download");
    if (wants_download) rest.remove_suffix(std::string_view("/download").size());
    const std::optional<std::int64_t> id = parse_report_id(rest);
    const std::optional<ReportInfo> info = id ? site.store.find_report(*id) : std::nullopt;
    if (!info) return message_page(404, "No such report", "There is no report at this address.", request);
    return wants_download ? report_download(site.store, request, *info) : report_page(site, request, *info);
}

} // namespace lumresults::dashboard
