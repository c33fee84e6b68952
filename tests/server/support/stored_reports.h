// tests/server/support/stored_reports.h: what a data folder holds, as the operator's command line lists it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lum::server_testing {

struct StoredReport {
    long long id = 0;
    std::string caller;
    std::string received;
    std::string file_name;
    std::string content_type;
    std::uint64_t size = 0;
    std::string sha256;
    std::string bytes; // the stored bytes, read back
};

// How the bytes are read back: `lumresults report` per report (the operator's way), or the store opened in
// this process (the same rows, for a thousand reports without a thousand process starts).
enum class ReadBytes { ThroughCommand, ThroughStore };

// Every report of `lumresults reports --data DIR --json`, each with its bytes; throws std::runtime_error
// when a command fails or its output is not the expected JSON.
std::vector<StoredReport> stored_reports(const std::filesystem::path& data, ReadBytes how);

// 64 lower-case hex digits.
std::string sha256_hex(std::string_view bytes);

} // namespace lum::server_testing
