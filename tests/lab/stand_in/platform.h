// tests/lab/stand_in/platform.h: what the stand-in tool asks of its own platform: its file name, raw output, paths, a
// locked journal.
#pragma once

#include <functional>
#include <string>

namespace lum::lab {

// Standard output must pass bytes unchanged: no LF to CR LF translation, no stop at Ctrl-Z.
void use_binary_output();

// The full path of this program's own file ("" when the platform will not say).
std::string own_program_path();

// The current folder as the program under test spells its paths: bytes in the system's code page.
std::string current_folder();

// A path as the program spells it (backslashes) in this platform's own spelling.
std::string local_path(const std::string& program_path);

// Dies at once of an access violation, as a crashing tool would; never returns.
[[noreturn]] void crash_now();

// Opens the file at `path` (creating it), holds it locked against every other stand-in, hands its
// whole contents to `next_text` and appends what that returns. False when the file cannot be opened,
// locked, read or written.
bool append_under_lock(const std::string& path, const std::function<std::string(const std::string&)>& next_text);

} // namespace lum::lab
