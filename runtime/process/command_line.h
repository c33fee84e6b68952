// runtime/process/command_line.h: the Windows command line of a started program, built and taken apart.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lum {

// The program in double quotes (unless it already begins with one), then one space and the
// parameters when there are any. Nothing inside either text is escaped.
std::string compose_command_line(std::string_view program, std::string_view parameters);

// Splits a command line as the Microsoft C runtime does: the program name runs to the closing quote
// (or the first blank), with no escapes; each argument after it is cut at blanks outside quotes,
// 2n backslashes before a quote give n backslashes and the quote opens or closes quoting,
// 2n+1 give n backslashes and a literal quote, "" inside quotes is a literal quote, and other
// backslashes are literal. So a POSIX tool receives the arguments a Windows tool would.
std::vector<std::string> split_command_line(std::string_view command_line);

// Where the shell runs a document that has no working directory of its own: the folder of the program
// text (up to and including its last separator) when a separator follows its first character. The
// separator is "\\" on Windows and "/" on POSIX, where the program joins its paths with it.
std::string shell_directory(std::string_view program, std::string_view directory, char separator = '\\');

} // namespace lum
