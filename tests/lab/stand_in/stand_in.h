// tests/lab/stand_in/stand_in.h: one call of the stand-in tool, and the steps that play it from a scenario folder.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lum::lab {

struct Call {
    std::string tool;                   // this program's file stem, lower-cased: "ping", "wget", ...
    std::string folder;                 // the current folder
    std::vector<std::string> arguments; // as received, without the program's own name
    std::string scenario;               // folder of recorded outputs; "" when none is given
    int number = 1;                     // 1 + the calls of this tool already in the journal
};

// journal.cpp: "<tool> TAB <folder> TAB [arg] [arg]..." and LF.
std::string journal_line(const Call& call);
// Entries of `tool` in the journal's text.
int count_calls(const std::string& journal, const std::string& tool);
// Appends the call to the journal at `journal_path` and gives its call number; without a journal
// every call is the first.
int record_call(const std::string& journal_path, const Call& call);

// scenario.cpp
std::optional<std::string> read_whole_file(const std::string& path);
// Bytes of "<tool>.<number>.<kind>" in the scenario folder, else of "<tool>.<kind>", else nothing.
std::optional<std::string> recorded_file(const Call& call, const std::string& kind);
void pause_as_recorded(const Call& call);
void write_recorded_output(const Call& call);
int recorded_exit_code(const Call& call);

// behaviour.cpp: the actions of "<tool>[.<n>].act", after the recorded output (see the file for the words).
void play_behaviour(const Call& call);

// wget.cpp: the download form writes the recorded log after "-o"; the upload form posts its file to
// the loopback server that LUMTEST_RESULTS_SERVER names.
void play_wget(const Call& call);

} // namespace lum::lab
