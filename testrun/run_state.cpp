// testrun/run_state.cpp: the run state at the start of a run, and its paths in the temporary folder.
#include "testrun/run_state.h"

#include "runtime/files/files.h"
#include "runtime/process/process.h"

namespace lum {
namespace {

constexpr std::string_view REPORT_NAME = "lumtest.txt";

} // namespace

RunState make_run_state() {
    RunState state;
    for (std::int32_t test = 1; test <= TEST_COUNT; ++test) {
        state.TestNames[static_cast<std::size_t>(test)] = test_name(test);
    }
    state.ContinueTests = 1;
    return state;
}

TempCandidates read_temp_candidates() {
    return {environment_folder("TEMP"), environment_folder("TMP"), system_temp_folder(), environment_value("TEMP")};
}

std::string choose_temp_folder(const TempCandidates& candidates, const FolderCheck& report_fits) {
    const std::optional<std::string>& first = candidates.temp;
    if (first && report_fits(*first)) return *first;
    for (const std::optional<std::string>& folder : {candidates.tmp, std::optional(candidates.system_temp)}) {
        if (folder && !folder->empty() && folder != first && report_fits(*folder)) return *folder;
    }
    return first.value_or(candidates.temp_as_read);
}

bool report_can_be_created(const std::string& folder) { return file_can_be_created(join_path(folder, REPORT_NAME)); }

void prepare_paths(RunState& state, std::string_view temp_dir, std::string_view win_dir) {
    state.TempDir = temp_dir;
    state.WinDir = win_dir;
    state.ReportPath = join_path(state.TempDir, REPORT_NAME);
    state.UploadPath = join_path(state.TempDir, "lumtest.log");
    state.WgetLogPath = join_path(state.TempDir, "wget.log");
}

} // namespace lum
