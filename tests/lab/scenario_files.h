// tests/lab/scenario_files.h: reading a scenario's folder: its settings, its recorded outputs and what it expects.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "testrun/run_state.h"

namespace lum::lab {

// scenario.txt: one setting per line, "name value..."; "#" starts a comment line.
struct ScenarioSettings {
    std::string public_ip = "100.102.3.4";
    std::int32_t skip_multicast_a = 0;
    std::int32_t skip_multicast_b = 0;
    bool temp_with_space = false;     // "temp-with-space": TEMP is a folder whose name has a blank
    std::string temp_name;            // "temp-name NAME...": TEMP's folder name, bytes as written
    bool hosts_directory = false;     // "hosts-directory": the hosts file's path names a folder
    std::vector<std::string> missing; // "missing route nslookup": these tools cannot be started
    TimeLimits limits;                // "tool-limit-ms MS", "download-limit-ms MS": the run's time limits
};

// rows.txt: "<row> green|red|blue <text>" or "<row> absent", one per row.
struct ExpectedRow {
    std::int32_t row = 0;
    bool present = false;
    std::int32_t color = -1;
    std::string text;
};

ScenarioSettings read_settings(const std::filesystem::path& file);
std::vector<ExpectedRow> read_rows(const std::filesystem::path& file);

// The lines of a file as the program's readers cut them: at CR LF, LF or a lone CR, no final empty line.
std::vector<std::string> split_lines(const std::string& bytes);

// report.txt, expanded: "@tool <file> [n]" stands for the non-empty lines of the scenario's recorded
// output <file> (only the first n with a count), as a test logs a tool's output; "@part <name>" for the
// expanded lines of part-<name>.txt (the base scenario's sections of a report); any other line is itself.
std::vector<std::string> expected_report(const std::filesystem::path& template_file,
                                         const std::filesystem::path& scenario_data);

// journal.txt: "<tool> [arg] [arg]..." per call, in order.
std::vector<std::string> read_expected_journal(const std::filesystem::path& file);

// The stand-in tools' journal: "<tool> TAB <folder> TAB <[arg] [arg]...>". Each call's folder must be
// `folder`, spelled as the program spells it (its bytes in the system's code page), or the same folder
// (the lines that are not go into wrong_folders); the calls come back as "<tool> <[arg]...>",
// with the folder's own spelling inside an argument written as {TEMP}.
std::vector<std::string> read_journal(const std::filesystem::path& file, const std::string& folder,
                                      std::vector<std::string>& wrong_folders);

// The multicast test's two receivers start together, so their journal lines may come in either order,
// and the first one, which nobody waits for, may even start after the calls that follow (the upload):
// the receiver calls are gathered, sorted, where the first of them stands, in the journal and in what
// is expected of it.
void order_concurrent_calls(std::vector<std::string>& calls);

// A scenario's own files over the shared base scenario's; "<name>.absent" takes the base's <name> away.
void merge_scenario(const std::filesystem::path& base, const std::filesystem::path& scenario,
                    const std::filesystem::path& into);

} // namespace lum::lab
