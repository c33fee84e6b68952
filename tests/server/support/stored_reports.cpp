// tests/server/support/stored_reports.cpp: the listing parsed from JSON, the bytes fetched one way or the other.
#include "stored_reports.h"

#include <nlohmann/json.hpp>

#include <stdexcept>

#include "server/common/sha256.h"
#include "server/store/store.h"
#include "server_child.h"

namespace lum::server_testing {
namespace {

StoredReport report_of(const nlohmann::json& item) {
    StoredReport report;
    report.id = item.at("id").get<long long>();
    report.caller = item.at("caller").get<std::string>();
    report.received = item.at("received").get<std::string>();
    report.file_name = item.at("file_name").get<std::string>();
    report.content_type = item.at("content_type").get<std::string>();
    report.size = item.at("size").get<std::uint64_t>();
    report.sha256 = item.at("sha256").get<std::string>();
    return report;
}

std::string bytes_through_command(const std::filesystem::path& data, long long id) {
    const auto result = run_lumresults({"report", "--data", data.string(), std::to_string(id)});
    if (result.exit_code != 0) throw std::runtime_error("lumresults report " + std::to_string(id) + " failed");
    return result.output;
}

} // namespace

std::vector<StoredReport> stored_reports(const std::filesystem::path& data, ReadBytes how) {
    const auto listing = run_lumresults({"reports", "--data", data.string(), "--json"});
    if (listing.exit_code != 0) throw std::runtime_error("lumresults reports failed");
    std::vector<StoredReport> reports;
    for (const auto& item : nlohmann::json::parse(listing.output))
        reports.push_back(report_of(item));
    if (how == ReadBytes::ThroughCommand) {
        for (auto& report : reports)
            report.bytes = bytes_through_command(data, report.id);
        return reports;
    }
    const auto store = lumresults::open_sqlite_store(data);
    for (auto& report : reports)
        if (!store->read_report(report.id, [&](std::string_view piece) { report.bytes.append(piece); }))
            throw std::runtime_error("the store has no report " + std::to_string(report.id));
    return reports;
}

std::string sha256_hex(std::string_view bytes) {
    lumresults::Sha256 digest;
    digest.update(bytes);
    return digest.finish_hex();
}

} // namespace lum::server_testing
