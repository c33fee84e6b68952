// tests/lab/scenario_run.h: one whole test run against a scenario's recordings, and the checks of what it left behind.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "loopback_listener.h"
#include "scenario_files.h"
#include "test_support.h"
#include "testrun/run_state.h"

namespace lum::lab {

// The recordings every scenario starts from, copied beside the lab's binaries.
inline const std::filesystem::path SCENARIOS_BASE = "scenarios/base";

// putenv keeps the string itself, so every setting is kept for the life of the process.
void set_environment(const std::string& name, const std::string& value);

// A tool that "cannot be started": its stand-in copy is moved aside while this object lives. Only tools
// that Wine does not bring along may be missing, so that no built-in tool ever runs in their place.
class MissingTools {
public:
    explicit MissingTools(const std::vector<std::string>& tools);
    ~MissingTools();
    MissingTools(const MissingTools&) = delete;
    MissingTools& operator=(const MissingTools&) = delete;

private:
    std::vector<std::filesystem::path> moved_;
};

// The folders of one run: TEMP, the Windows folder, the merged recordings and the tools' journal.
struct Prepared {
    std::filesystem::path temp;
    std::string temp_value; // TEMP as the program is given it: the folder's bytes in the system's code page
    std::filesystem::path windows;
    std::filesystem::path data;
    std::filesystem::path journal;
};

// Lays out the scenario's folders in `scratch` and points the stand-ins at them.
Prepared prepare(const testing_support::ScratchFolder& scratch, const std::filesystem::path& source,
                 const ScenarioSettings& settings);

// The run itself, as the program's script has it after its start-up checks, with `temp_value` as
// the value of TEMP and a fixed clock for the report's two time stamps.
RunState run_scenario(const Prepared& run, const ScenarioSettings& settings, const std::string& temp_value);

// Lets every stand-in that stayed behind after closing its output end ("detach").
void release_stand_ins(const Prepared& run);

// The closing screen's buttons and each row's final text and colour.
void check_rows(const std::vector<ExpectedRow>& rows);

// Every line of the report ends with CR LF, whatever the tools ended theirs with.
void check_line_ends(const std::string& report);

// The upload body: the form's one part, wrapped around the report's lines (each with its CR LF).
std::string upload_body(const std::string& report_lines);

// The upload body in the TEMP folder (`temp_value`, as the program spells it) wraps the report's lines,
// and that is what reached `server`.
void check_upload(const std::string& temp_value, testing_support::LoopbackListener* server);

// The first difference of two line lists, with its line number.
::testing::AssertionResult same_lines(const std::vector<std::string>& actual, const std::vector<std::string>& expected);

} // namespace lum::lab
