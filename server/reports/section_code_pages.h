// server/reports/section_code_pages.h: the code page of each section of a read report, and the report's own.
#pragma once

#include <string_view>

#include "server/reports/report_reading.h"

namespace lum::reports {

// Guesses each of report.sections' code page from its bytes (the hosts file as a file Notepad saved, the
// rest as console output), then the report's: the one most of its tools' sections read in, those decided
// by the tools' phrases counting first.
void find_code_pages(std::string_view bytes, ReadReport& report);

// The code page a section reads in: its own, or the report's for a section of ASCII alone (which reads the
// same in any page, while the program's lines around it may not).
int section_code_page(const ReportSection& section, const ReadReport& report);

} // namespace lum::reports
