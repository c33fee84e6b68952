// server/reports/section_code_pages.h: the code page of each section of a read report, and the report's own.
#pragma once

#include <string>
#include <string_view>

#include "server/reports/report_reading.h"

namespace lum::reports {

// Guesses each of report.sections' code page from its bytes (the hosts file as a file Notepad saved, the
// rest as console output), then the report's: the one most of its tools' sections read in, those decided
// by the tools' phrases counting first. A section that reads as the same text in the report's own page as in
// the one it was found in is named by the report's.
void find_code_pages(std::string_view bytes, ReadReport& report);

// The code page a section reads in: its own, or the report's for a section of ASCII alone (which reads the
// same in any page, while the program's lines around it may not).
int section_code_page(const ReportSection& section, const ReadReport& report);

// ", which reads it as CP437 and CP857 do": the other code pages that read the section as the same text, for
// its label after the page it is decoded in; empty where there are none.
std::string same_text_clause(const CodePageGuess& guess);

} // namespace lum::reports
