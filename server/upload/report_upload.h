// server/upload/report_upload.h: the program's report upload: one file part, read as it streams in and
// stored durably before it is acknowledged.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "server/http/body_receiver.h"
#include "server/http/request.h"
#include "server/http/metrics.h"
#include "server/store/store.h"

namespace lumresults {

struct UploadSettings {
    std::uint64_t max_body = 16 * 1024 * 1024; // the whole request body, headers of the parts included
    std::filesystem::path spool_dir;           // where a report waits, on disk, until it is stored
};

// Empties the spool folder of reports a killed server left half-received (they were never acknowledged).
void clear_spool(const std::filesystem::path& spool_dir);

std::unique_ptr<BodyReceiver> receive_report(const Request& request, ReportStore& store, Metrics& metrics,
                                             const UploadSettings& settings);

} // namespace lumresults
