// server/store/store.h: the one interface to where reports are kept; SQLite now, other databases later.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lumresults {

using Clock = std::chrono::system_clock;

// What is known of a report besides its bytes.
struct ReportInfo {
    std::int64_t id = 0;
    std::string caller; // the caller's address as "/ip/" would answer it
    Clock::time_point received;
    std::string file_name;    // as the form part named it, bytes as received
    std::string content_type; // as the form part named it
    std::uint64_t size = 0;
    std::string sha256; // 64 lower-case hex digits of the stored bytes
};

// A report about to be stored: its description and a file holding exactly its bytes.
struct NewReport {
    std::string caller;
    Clock::time_point received;
    std::string file_name;
    std::string content_type;
    std::uint64_t size = 0;
    std::string sha256;
    std::filesystem::path content; // read in pieces, never whole into memory
};

struct ReportFilter {
    std::optional<std::string> caller;      // exact address
    std::optional<Clock::time_point> since; // received at or after
    std::size_t limit = 1000;               // newest first (the higher id first at equal times)
};

// What the server read back from a report: the rows and figures (as JSON), and the few facts a search
// filters on. Derived data: it can always be made again from the report's bytes.
struct ReportReading {
    std::int32_t rules_version = 0; // the rules that made it; older ones are read again after an upgrade
    bool finished = false;          // the report's footer is there
    std::uint32_t failed_tests = 0; // bit n-1 set when Test n failed
    std::string release;            // the report's release line
    std::string json;               // the whole reading
};

// Receives a stored report's bytes piece by piece, in order.
using ByteSink = std::function<void(std::string_view)>;

// A store that cannot be opened, migrated or written; its text says what and where.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Safe to share between threads; every call is all or nothing (puts made at once may share a transaction).
class Store {
public:
    virtual ~Store() = default;

    // Stores the report in one transaction that has reached stable storage when this returns: the caller
    // may acknowledge the upload then, and not before. Returns the new report's id, never given before.
    // Throws StoreError, having stored nothing, when any step fails or the content file's length is not size.
    virtual std::int64_t put_report(const NewReport& report) = 0;

    virtual std::optional<ReportInfo> find_report(std::int64_t id) = 0;

    // Writes the report's stored bytes to sink; false when there is no such report. What the sink throws
    // passes through.
    virtual bool read_report(std::int64_t id, const ByteSink& sink) = 0;

    virtual std::vector<ReportInfo> list_reports(const ReportFilter& filter) = 0;

    // Keeps the reading of a stored report, replacing an earlier one. Throws StoreError.
    virtual void put_reading(std::int64_t id, const ReportReading& reading) = 0;
    virtual std::optional<ReportReading> find_reading(std::int64_t id) = 0;
    // Up to `limit` ids above `after_id`, in order, of reports without a reading made by rules_version.
    virtual std::vector<std::int64_t> reports_to_read(std::int32_t rules_version, std::int64_t after_id,
                                                      std::size_t limit) = 0;
};

// Opens (creating when needed) the SQLite store in data_dir and brings its schema to the current version.
std::unique_ptr<Store> open_sqlite_store(const std::filesystem::path& data_dir);

} // namespace lumresults
