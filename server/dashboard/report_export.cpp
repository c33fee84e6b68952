// server/dashboard/report_export.cpp: the CSV and JSON of found reports.
#include "server/dashboard/report_export.h"

#include <nlohmann/json.hpp>

#include "server/web/display_text.h"
#include "server/web/utc_time.h"

namespace lumresults::dashboard {
namespace {

using nlohmann::json;

// The access node as staff name it: its address, and its NAS-Identifier after it when it has one.
std::string node_text(const ReportSubscriber& subscriber) {
    return subscriber.node_id.empty() ? subscriber.node_address
                                      : subscriber.node_address + " (" + utf8_text(subscriber.node_id) + ")";
}

json failed_list(std::uint32_t failed_tests) {
    json list = json::array();
    for (std::size_t test = 1; test <= READING_TESTS; ++test)
        if (failed_tests & (1u << (test - 1))) list.push_back(test);
    return list;
}

json found_json(const FoundReport& report) {
    return {{"id", report.info.id},
            {"received", utc_time_iso(report.info.received)},
            {"caller", utf8_text(report.info.caller)},
            {"release", report.read ? json(utf8_text(report.release)) : json(nullptr)},
            {"code_page", report.read ? json(report.code_page) : json(nullptr)},
            {"finished", report.read ? json(report.finished) : json(nullptr)},
            {"failed_tests", failed_list(report.failed_tests)},
            {"verdicts", report.verdicts},
            {"size", report.info.size},
            {"sha256", report.info.sha256},
            {"subscriber", report.subscriber ? json(utf8_text(report.subscriber->user_name)) : json(nullptr)},
            {"node", report.subscriber ? json(node_text(*report.subscriber)) : json(nullptr)}};
}

} // namespace

std::string csv_field(std::string_view text) {
    std::string field(text);
    if (!field.empty() && std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos)
        field.insert(0, 1, '\'');
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string reports_csv(const FoundPage& page) {
    std::string csv =
        "id,received,caller,release,finished,test1,test2,test3,test4,test5,test6,test7,size,sha256,code_page,subscriber,"
        "node\r\n";
    for (const FoundReport& report : page.reports) {
        csv += std::to_string(report.info.id) + ',' + utc_time_iso(report.info.received) + ',';
        csv += csv_field(utf8_text(report.info.caller)) + ',' + csv_field(utf8_text(report.release)) + ',';
        csv += report.read ? (report.finished ? "yes," : "no,") : ",";
        for (const std::string& verdict : report.verdicts)
            csv += csv_field(verdict) + ',';
        csv += std::to_string(report.info.size) + ',' + csv_field(report.info.sha256) + ',';
        csv += (report.read ? std::to_string(report.code_page) : std::string()) + ',';
        if (report.subscriber)
            csv += csv_field(utf8_text(report.subscriber->user_name)) + ',' + csv_field(node_text(*report.subscriber));
        else
            csv += ',';
        csv += "\r\n";
    }
    return csv;
}

std::string reports_json(const FoundPage& page) {
    json list = json::array();
    for (const FoundReport& report : page.reports)
        list.push_back(found_json(report));
    const json whole = {{"reports", list}, {"next", page.next ? json(*page.next) : json(nullptr)}};
    return whole.dump();
}

std::string report_json(const ReportInfo& info, std::string_view reading_json) {
    json reading = reading_json.empty() ? json(nullptr) : json::parse(reading_json, nullptr, false);
    if (reading.is_discarded()) reading = nullptr;
    const json whole = {{"id", info.id},
                        {"received", utc_time_iso(info.received)},
                        {"caller", utf8_text(info.caller)},
                        {"file_name", utf8_text(info.file_name)},
                        {"size", info.size},
                        {"sha256", info.sha256},
                        {"reading", reading}};
    return whole.dump();
}

} // namespace lumresults::dashboard
