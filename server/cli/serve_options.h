// server/cli/serve_options.h: `serve`'s settings from its command line and its configuration file, which name
// them alike.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/cli/serve.h"

namespace lumresults {

// One setting: "--name value" on the command line, or "name = value" on a line of the configuration file.
struct Setting {
    std::string name; // without the dashes
    std::string value;
    std::string where; // "FILE:LINE" for the file's; empty for the command line's
};

// A setting that cannot be used, or a file that cannot be read; the text names the file and line, if any,
// and the reason.
class SettingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What `serve` was started with: its command line's settings and, when given, its configuration file.
struct ServeCommand {
    std::vector<Setting> command_line;
    std::optional<std::filesystem::path> config;
};

// The configuration file's settings, in order: one `name = value` per line; blank lines and lines that
// start with '#' are skipped. Throws SettingError for a line of another form or a file that cannot be read.
std::vector<Setting> read_config_file(const std::filesystem::path& file);

// The settings of `command`, the file read anew: a name given on the command line replaces all of the
// file's lines of that name. Throws SettingError naming the first setting that is unknown or bad, or a
// setting that is missing.
ServeOptions serve_options_of(const ServeCommand& command);

} // namespace lumresults
