// testrun/report_log.h: the plain-text report log that support staff read: its header and its lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/time/time.h"
#include "rules/report_stamps.h"
#include "testrun/run_state.h"

namespace lum {

// The report is file number 0 from its header until the footer closes it.
inline constexpr std::int32_t REPORT_FILE = 0;

// The release name the report gives for an operating-system code.
std::string_view os_release_name(std::int32_t code);

// "2014-03-09 08:05:07": how the report stamps its start and end.
std::string report_time(DateValue date);

// Creates the report anew (replacing an earlier run's) and writes the program's title, the system's
// release and the start time, each followed by an empty line.
void write_report_header(const RunState& state, std::int32_t os_code, DateValue start);

// One line of the report, ended with CR LF; an empty text is an empty line.
void write_report_line(std::string_view line);

} // namespace lum
