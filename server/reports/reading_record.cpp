// server/reports/reading_record.cpp: a reading to JSON, and reading stored reports into the store.
#include "server/reports/reading_record.h"

#include <nlohmann/json.hpp>

#include "server/reports/computer_ids.h"

#include <string>

namespace lumresults {
namespace {

using lum::reports::Verdict;

TestVerdict column_verdict(Verdict verdict) {
    switch (verdict) {
    case Verdict::Ok: return TestVerdict::ok;
    case Verdict::Failed: return TestVerdict::failed;
    case Verdict::Skip: return TestVerdict::skipped;
    case Verdict::NotReached: break;
    }
    return TestVerdict::not_reached;
}

nlohmann::json optional_json(const std::optional<std::int32_t>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json ping_json(const lum::reports::PingStatistics& ping) {
    return {{"sent", ping.sent},
            {"received", ping.received},
            {"lost", ping.lost},
            {"minimum_ms", optional_json(ping.minimum_ms)},
            {"maximum_ms", optional_json(ping.maximum_ms)},
            {"average_ms", optional_json(ping.average_ms)}};
}

nlohmann::json test_json(const lum::reports::TestReading& test) {
    const lum::reports::TestFigures& f = test.figures;
    nlohmann::json figures = {{"lost_echoes", f.lost_echoes},
                              {"lost_probes", f.lost_probes},
                              {"too_slow_for_multicast", f.too_slow_for_multicast},
                              {"rate_text", f.rate_text},
                              {"speed_text", f.speed_text},
                              {"packets_received", f.packets_received}};
    figures["average_ms"] = f.average_ms ? nlohmann::json(*f.average_ms) : nlohmann::json(nullptr);
    figures["mbps"] = f.mbps ? nlohmann::json(*f.mbps) : nlohmann::json(nullptr);
    figures["ping"] = f.ping ? ping_json(*f.ping) : nlohmann::json(nullptr);
    return {{"number", test.number},
            {"ran", test.ran},
            {"verdict", verdict_name(column_verdict(test.verdict))},
            {"derived", test.derived},
            {"row_text", test.row_text},
            {"row_color", test.row_color},
            {"lines", {test.lines.first, test.lines.count}},
            {"bytes", {test.bytes.begin, test.bytes.end}},
            {"figures", figures}};
}

nlohmann::json adapters_json(const std::vector<lum::reports::Adapter>& adapters) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& adapter : adapters)
        list.push_back({{"name", adapter.name},
                        {"ipv4", adapter.ipv4},
                        {"mac", adapter.mac},
                        {"gateways", adapter.gateways},
                        {"dns_servers", adapter.dns_servers},
                        {"masks", adapter.masks},
                        {"dhcp", adapter.dhcp ? nlohmann::json(*adapter.dhcp) : nlohmann::json(nullptr)}});
    return list;
}

nlohmann::json code_page_json(const lum::reports::CodePageGuess& guess) {
    const lum::reports::CodePage* page = lum::reports::find_code_page(guess.code_page);
    return {{"number", guess.code_page},
            {"name", page != nullptr ? page->name : "ASCII"},
            {"confidence", guess.confidence},
            {"basis", lum::reports::basis_text(guess.basis)},
            {"same_text_in", guess.same_text_in}};
}

nlohmann::json sections_json(const std::vector<lum::reports::ReportSection>& sections) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& section : sections)
        list.push_back({{"test", section.test},
                        {"tool", section.tool},
                        {"lines", {section.lines.first, section.lines.count}},
                        {"bytes", {section.bytes.begin, section.bytes.end}},
                        {"code_page", code_page_json(section.code_page)}});
    return list;
}

// A figure of a test whose tools ran; nothing for one that did not run.
template <typename Figure>
std::optional<Figure> if_ran(const lum::reports::TestReading& test, std::optional<Figure> figure) {
    return test.ran ? figure : std::nullopt;
}

ReadingFigures figures_of(const lum::reports::ReadReport& reading) {
    const auto& t = reading.tests;
    return {if_ran(t[1], std::optional(t[1].figures.lost_echoes)),
            if_ran(t[3], std::optional(t[3].figures.lost_probes)),
            if_ran(t[3], t[3].figures.average_ms),
            if_ran(t[4], std::optional(t[4].figures.lost_echoes)),
            if_ran(t[5], t[5].figures.mbps),
            if_ran(t[6], std::optional(t[6].figures.packets_received))};
}

} // namespace

ReportReading reading_record(const lum::reports::ReadReport& reading) {
    nlohmann::json tests = nlohmann::json::array();
    ReportReading record;
    for (const auto& test : reading.tests) {
        tests.push_back(test_json(test));
        const auto at = static_cast<std::size_t>(test.number - 1);
        record.verdicts[at] = column_verdict(test.verdict);
        if (test.verdict == Verdict::Failed) record.failed_tests |= 1u << at;
        if (test.derived) record.derived_tests |= 1u << at;
    }
    const nlohmann::json whole = {{"rules_version", reading.rules_version},
                                  {"has_header", reading.has_header},
                                  {"release", reading.release},
                                  {"start_time", reading.start_time},
                                  {"finished", reading.finished},
                                  {"end_time", reading.end_time},
                                  {"line_count", reading.line_count},
                                  {"tests", tests},
                                  {"adapters", adapters_json(reading.adapters)},
                                  {"host_name", reading.host_name},
                                  {"code_page", code_page_json(reading.code_page)},
                                  {"sections", sections_json(reading.sections)}};
    record.rules_version = reading.rules_version;
    record.finished = reading.finished;
    // The reading keeps as much of the release line as the column, and marks a longer one after it.
    static_assert(lum::reports::RELEASE_BYTES_KEPT == READING_RELEASE_BYTES);
    record.release = reading.release.substr(0, READING_RELEASE_BYTES);
    record.release_cut = reading.release.size() > READING_RELEASE_BYTES;
    record.figures = figures_of(reading);
    record.code_page = reading.code_page.code_page;
    lum::reports::ComputerIds computer = lum::reports::computer_ids(reading);
    record.computer = {std::move(computer.macs), std::move(computer.host_name)};
    record.json = whole.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return record;
}

std::optional<ReportReading> read_stored_report(ReportStore& store, std::int64_t id) {
    const std::optional<ReportInfo> info = store.find_report(id);
    if (!info) return std::nullopt;
    // Whole in memory for the reading: a report is at most the upload limit, read once, then let go.
    std::string bytes;
    bytes.reserve(info->size);
    store.read_report(id, [&bytes](std::string_view piece) { bytes += piece; });
    ReportReading reading = reading_record(lum::reports::read_report(bytes, info->caller));
    store.put_reading(id, reading);
    return reading;
}

std::size_t read_stored_reports_again(ReportStore& store) {
    std::size_t read = 0;
    std::int64_t after = 0;
    for (;;) {
        const std::vector<std::int64_t> ids = store.reports_to_read(lum::reports::REPORT_RULES_VERSION, after, 256);
        if (ids.empty()) return read;
        for (const std::int64_t id : ids)
            read += read_stored_report(store, id) ? 1 : 0;
        after = ids.back();
    }
}

} // namespace lumresults
