// runtime/files/files.h: numbered text files, buffered in 4096-byte blocks, written and read line by line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/common/object_table.h"

namespace lum {

// Creates (or empties) the file for reading and writing; others may read it meanwhile. Any file open
// under `number` is closed first. Result: 0 on failure; for ANY_NUMBER the new number, else non-zero.
std::intptr_t create_text_file(ObjectNumber number, std::string_view path);

// Opens an existing file for reading only. Results as for create_text_file.
std::intptr_t open_text_file(ObjectNumber number, std::string_view path);

// Writes the text's bytes and CR LF; returns the bytes accepted, 0 when the number is not open.
std::int32_t write_text_line(ObjectNumber number, std::string_view text);

// False while at least one more byte can be read; true at the end and for a number that is not open,
// so that a read loop over a file that failed to open ends at once.
bool at_end_of_file(ObjectNumber number);

// The next line without its end (CR LF, LF or a lone CR; a zero byte also ends it and is dropped).
// "" at the end of the file or when the number is not open.
std::string read_text_line(ObjectNumber number);

// Writes out pending bytes and closes the file; ANY_NUMBER closes every file. Unknown numbers are ignored.
void close_text_file(ObjectNumber number);

// Teardown: closes every open file, so that nothing written is lost even if the program never closed it.
void close_all_files();

// True when a file can be created (or opened for writing) at `path`; an existing file keeps its bytes.
bool file_can_be_created(std::string_view path);

// The system's own folder for temporary files, without a final separator: what the system gives when
// asked (on Windows from TMP, TEMP, the user's profile or the Windows folder), "/tmp" on POSIX unless
// TMPDIR names another. Spelled as environment_folder spells a folder; "" when it cannot be.
std::string system_temp_folder();

// The folder that the environment variable `name` names, spelled so that the program's own file and
// process calls reach it; "" when the variable is not set. Windows hands those calls their paths in
// the ANSI code page, where a folder named with letters beyond it (a Chinese user name on a Western
// system) reads back with "?" and names nothing: such a folder is given by its short (8.3) name, and
// when it has none the result is nothing, so that the caller can look elsewhere. POSIX: the value's
// bytes as they are.
std::optional<std::string> environment_folder(std::string_view name);

// Paths in this program are Windows paths ("C:\Temp\lumtest.txt"); POSIX backends use this to turn the
// backslashes into the separators their system understands.
std::string posix_path(std::string_view windows_path);

// The platform's own separator: "\" on Windows, "/" on POSIX.
char path_separator();

// `name` (written with "\" between its folders) inside `folder`, with the platform's separator, so
// that a path the program builds can also be handed to the platform's own tools as an argument.
// An empty folder gives a path from the root: "\lumtest.txt" on Windows.
std::string join_path(std::string_view folder, std::string_view name);

} // namespace lum
