// testrun/run_state.h: the values that every stage of the test run shares, and the working paths.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "rules/test_names.h"

namespace lum {

inline constexpr std::size_t TABLE_SLOTS = 11; // slots 0 to 10, indexed by test number

// How long a tool whose output a test reads may run, and how long the download may take, before each is
// stopped: a tool that hangs (a lookup that never returns, a driver that never answers) must not keep
// the run, and its window, waiting for ever.
inline constexpr std::int32_t TOOL_LIMIT_MS = 120 * 1000;
inline constexpr std::int32_t DOWNLOAD_LIMIT_MS = 300 * 1000;

// The run's time limits, counted from each tool's start. The program keeps these; the lab shortens
// them, so that its tests of a hung tool need not wait minutes.
struct TimeLimits {
    std::int32_t ToolMs = TOOL_LIMIT_MS;
    std::int32_t DownloadMs = DOWNLOAD_LIMIT_MS;
};

struct RunState {
    std::array<std::string, TABLE_SLOTS> TestNames{};
    std::int32_t ContinueTests = 0;
    std::int32_t CurrentRow = 0;
    std::string PublicIp;
    std::string TempDir;
    std::string WinDir;
    std::string ReportPath;
    std::string UploadPath;
    std::string WgetLogPath;
    std::int32_t SkipMulticastA = 0;
    std::int32_t SkipMulticastB = 0;
    std::int32_t MarkerFound = 0; // Test 1: an ipconfig line showed a pass marker
    std::int32_t LostEchoes = 0;  // Test 2's lost echoes, then Test 4's lost probes
    std::int32_t DnsPassed = 0;
    std::string SpeedText;          // the download's rate as the tool wrote it, and in bits per second
    std::int32_t SpeedFound = 0;    // a finished-transfer line was read
    std::int32_t ReceivedCount = 0; // multicast packets reported received
    TimeLimits Limits;
    std::array<bool, 3> FirewallWasOn{}; // per profile (domain, private, public), before the firewall command
};

// A cleared run state with the seven test names in slots 1 to 7 and ContinueTests set.
RunState make_run_state();

// Takes the temporary and Windows folders as they are (unset gives "") and builds the three file paths
// in the temporary folder (TEMP\lumtest.txt, with the platform's separator); nothing checks that the
// folder exists or can be written.
void prepare_paths(RunState& state, std::string_view temp_dir, std::string_view win_dir);

// Whether the report could be created in a folder.
using FolderCheck = std::function<bool(const std::string& folder)>;

// The folders that may take the run's files, each spelled so that the program's calls reach it (see
// environment_folder); nothing for one that cannot be spelled at all.
struct TempCandidates {
    std::optional<std::string> temp; // TEMP; "" when it is not set
    std::optional<std::string> tmp;  // TMP
    std::string system_temp;         // the system's own temporary folder; "" when unknown
    std::string temp_as_read;        // TEMP as the plain environment call reads it, "?" and all
};

// The candidates of this computer, from its environment.
TempCandidates read_temp_candidates();

// The temporary folder of the run: TEMP (even "") whenever the report can be created there, as on
// every ordinary computer. A TEMP that names a missing or read-only folder, or one that cannot be
// spelled, would lose the whole report, so the first of TMP and the system's own temporary folder that
// can take it is used then; when none can, TEMP stays as it is spelled, or as it was read.
std::string choose_temp_folder(const TempCandidates& candidates, const FolderCheck& report_fits);

// The report's file can be created in `folder`.
bool report_can_be_created(const std::string& folder);

} // namespace lum
