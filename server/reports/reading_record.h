// server/reports/reading_record.h: a report's reading as the store keeps it, and the reading of stored
// reports at upload and after an upgrade of the rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "server/reports/report_reading.h"
#include "server/store/store.h"

namespace lumresults {

// The reading as JSON with the facts a search filters on. Texts from the report are the console's
// bytes: where they are not UTF-8, JSON shows U+FFFD; the report's own bytes stay as they are.
ReportReading reading_record(const lum::reports::ReadReport& reading);

// Reads stored report `id` (from the store's bytes, the caller's address deciding Test 7's exclusions)
// and keeps the reading, which it gives back. Nothing when there is no such report; throws StoreError.
std::optional<ReportReading> read_stored_report(ReportStore& store, std::int64_t id);

// Reads again every report without a reading under the current rules; returns how many were read.
std::size_t read_stored_reports_again(ReportStore& store);

} // namespace lumresults
