// runtime/process/command_line.cpp: composing a command line, and splitting one by the Windows rules.
#include "runtime/process/command_line.h"

#include <cstddef>

namespace lum {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::size_t skip_blanks(std::string_view text, std::size_t at) {
    while (at < text.size() && is_blank(text[at]))
        ++at;
    return at;
}

// The program name: quotes only group (no escapes), since a backslash is a path separator there.
std::string program_name(std::string_view line, std::size_t& at) {
    std::string name;
    bool quoted = false;
    for (; at < line.size() && (quoted || !is_blank(line[at])); ++at) {
        if (line[at] == '"') {
            quoted = !quoted;
        } else {
            name += line[at];
        }
    }
    return name;
}

// One argument from `at`; leaves `at` on the blank (or end) after it.
std::string next_argument(std::string_view line, std::size_t& at) {
    std::string argument;
    bool quoted = false;
    while (at < line.size() && (quoted || !is_blank(line[at]))) {
        std::size_t backslashes = 0;
        while (at < line.size() && line[at] == '\\')
            ++backslashes, ++at;
        if (at < line.size() && line[at] == '"') {
            argument.append(backslashes / 2, '\\');
            if (backslashes % 2 == 1) {
                argument += '"';
            } else if (quoted && at + 1 < line.size() && line[at + 1] == '"') {
                argument += '"';
                ++at;
            } else {
                quoted = !quoted;
            }
            ++at;
            continue;
        }
        argument.append(backslashes, '\\');
        if (at < line.size() && (quoted || !is_blank(line[at]))) argument += line[at++];
    }
    return argument;
}

} // namespace

std::string compose_command_line(std::string_view program, std::string_view parameters) {
    std::string line;
    line.reserve(program.size() + parameters.size() + 4);
    if (!program.empty() && program.front() == '"') {
        line += program;
    } else {
        line += '"';
        line += program;
        line += '"';
    }
    if (!parameters.empty()) {
        line += ' ';
        line += parameters;
    }
    return line;
}

std::vector<std::string> split_command_line(std::string_view command_line) {
    std::vector<std::string> words;
    std::size_t at = 0;
    words.push_back(program_name(command_line, at));
    for (at = skip_blanks(command_line, at); at < command_line.size(); at = skip_blanks(command_line, at)) {
        words.push_back(next_argument(command_line, at));
    }
    return words;
}

std::string shell_directory(std::string_view program, std::string_view directory, char separator) {
    if (!directory.empty()) return std::string(directory);
    const std::size_t last = program.rfind(separator);
    if (last == std::string_view::npos || last == 0) return {};
    return std::string(program.substr(0, last + 1));
}

} // namespace lum
