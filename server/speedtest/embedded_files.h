// server/speedtest/embedded_files.h: the speed-test page's files, built into the program so that the server
// needs no files of its own at run time.
#pragma once

#include <optional>
#include <string_view>

namespace lumresults::speedtest {

// A file by its name in server/speedtest/assets/ ("index.html", "worker.js"); the bytes live as long as the
// program.
std::optional<std::string_view> embedded_file(std::string_view name);

} // namespace lumresults::speedtest
