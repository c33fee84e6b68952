// tests/cluster/burst_record.h: what the upload burst sent and was told, one line per upload, for the checker that
// follows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lum::cluster {

// One upload: what was sent, under which unique file name, and the answer (status 0: none came).
struct UploadRecord {
    std::size_t index = 0;
    std::string file_name;
    std::string source; // the lab scenario whose report was sent
    std::uint64_t size = 0;
    std::string sha256; // of the report's bytes, as the store should keep them
    unsigned status = 0;
    std::optional<std::int64_t> told_id; // from an "OK <id>" answer
    std::string answer;                  // the answer's first line, or why there was none
    std::uint64_t latency_us = 0;
};

// Tab-separated lines; an answer's tabs and line ends are written as blanks.
void write_records(const std::filesystem::path& file, const std::vector<UploadRecord>& records);
// Throws std::runtime_error on a line that is not one write_records wrote.
std::vector<UploadRecord> read_records(const std::filesystem::path& file);

} // namespace lum::cluster
