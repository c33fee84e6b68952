// server/dashboard/embedded_files.h: the dashboard's templates and static files, built into the program so that
// the server needs no files of its own at run time.
#pragma once

#include <optional>
#include <string_view>

namespace lumresults::dashboard {

// A file by its path below server/dashboard/ ("templates/search.mustache", "assets/support.css"); the bytes
// live as long as the program.
std::optional<std::string_view> embedded_file(std::string_view name);

} // namespace lumresults::dashboard
