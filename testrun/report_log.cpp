// testrun/report_log.cpp: the report log's header and lines.
#include "testrun/report_log.h"

#include <array>
#include <utility>

#include "runtime/files/files.h"
#include "rules/operator.h"

namespace lum {
namespace {

// Support staff read these names; "Windows 2008 R2" has no "Server" in it.
constexpr std::array<std::pair<std::int32_t, std::string_view>, 10> RELEASE_NAMES = {{
    {50, "Windows 2000"},
    {60, "Windows XP"},
    {65, "Windows Server 2003"},
    {70, "Windows Vista"},
    {75, "Windows Server 2008"},
    {80, "Windows 7"},
    {85, "Windows 2008 R2"},
    {90, "Windows 8"},
    {95, "Windows Server 2012"},
    {200, "Windows Future"},
}};

} // namespace

std::string_view os_release_name(std::int32_t code) {
    for (const auto& [known, name] : RELEASE_NAMES) {
        if (known == code) return name;
    }
    return "Windows Unknown";
}

std::string report_time(DateValue date) { return format_date("%yyyy-%mm-%dd %hh:%ii:%ss", date); }

void write_report_header(const RunState& state, std::int32_t os_code, DateValue start) {
    create_text_file(REPORT_FILE, state.ReportPath);
    write_report_line(PROGRAM_TITLE);
    write_report_line("");
    write_report_line(os_release_name(os_code));
    write_report_line("");
    write_report_line(std::string(REPORT_START_STAMP) + report_time(start));
    write_report_line("");
}

void write_report_line(std::string_view line) { write_text_line(REPORT_FILE, line); }

} // namespace lum
