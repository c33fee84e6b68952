// tests/lab/stand_in/stand_in.cpp: a stand-in for the network tools a test run starts; it plays the tool its file is
// named after.
//
// Copies of this program named ipconfig, route, netstat, ping, nslookup, fping, wget, mcfirst and
// netsh lie next to the test binaries, where the runner finds them before the real tools. Each call:
//   - appends "<tool> TAB <current folder> TAB [arg] [arg]..." and LF to the file LUMTEST_JOURNAL names;
//     its call number n is 1 + the lines of this tool already there;
//   - then, only when LUMTEST_SCENARIO names a folder of recordings, and only for those nine tools:
//     pauses <tool>.<n>.sleep or <tool>.sleep milliseconds, plays wget's part (wget.cpp), writes
//     <tool>.<n>.out or <tool>.out to standard output byte for byte, plays the actions of
//     <tool>.<n>.act or <tool>.act (behaviour.cpp), and ends with the code in <tool>.<n>.exit or
//     <tool>.exit (0 without one).
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "tests/lab/stand_in/platform.h"
#include "tests/lab/stand_in/stand_in.h"

namespace {

std::string tool_name(const char* started_as) {
    std::string path = lum::lab::own_program_path();
    if (path.empty() && started_as != nullptr) path = started_as;
    std::string stem = std::filesystem::path(path).stem().string();
    std::transform(stem.begin(), stem.end(), stem.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return stem;
}

bool plays(const std::string& tool) {
    static const char* const tools[] = {"ipconfig", "route", "netstat", "ping", "nslookup",
                                        "fping",    "wget",  "mcfirst", "netsh"};
    return std::any_of(std::begin(tools), std::end(tools), [&](const char* known) { return tool == known; });
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

int main(int argc, char** argv) {
    lum::lab::use_binary_output();
    lum::lab::Call call;
    call.tool = tool_name(argc > 0 ? argv[0] : nullptr);
    call.folder = lum::lab::current_folder();
    if (argc > 1) call.arguments.assign(argv + 1, argv + argc);
    call.scenario = environment("LUMTEST_SCENARIO");
    call.number = lum::lab::record_call(environment("LUMTEST_JOURNAL"), call);
    if (call.scenario.empty() || !plays(call.tool)) return 0;
    lum::lab::pause_as_recorded(call);
    if (call.tool == "wget") lum::lab::play_wget(call);
    lum::lab::write_recorded_output(call);
    lum::lab::play_behaviour(call);
    return lum::lab::recorded_exit_code(call);
}
