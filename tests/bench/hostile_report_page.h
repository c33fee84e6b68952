// tests/bench/hostile_report_page.h: what the report's page costs the server for the largest hostile reports.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace lum::bench {

// For a report of `max_upload` bytes of control bytes, of line feeds and of `report` repeated, each on a
// fresh server: the page's size and time, and the server's peak memory above its size before the page
// (the same for the page that shows the whole report). Prints its figures; throws when it cannot run.
void report_page_phases(const std::filesystem::path& work, std::size_t max_upload, const std::string& report);

} // namespace lum::bench
