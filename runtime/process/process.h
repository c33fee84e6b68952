// runtime/process/process.h: starting external programs, reading their output line by line, and the environment.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lum {

// Runner flags; bits combine. The test run uses 14 (Hide + Open + Read) for the tools it reads,
// 2 (Hide) for programs it leaves alone, 6 (Hide + Open) for the download, which it waits for itself
// within a time limit, and 0 to open the report and the speed-test page in a window the user sees.
enum RunnerFlag : std::int32_t {
    Wait = 1,     // return only after the program has ended (no time limit)
    Hide = 2,     // no visible window; without pipes, no console either
    Open = 4,     // keep the program: the result is a handle (Read, Write and Error need it)
    Read = 8,     // capture standard output
    Write = 16,   // feed standard input (the caller's end is kept in the handle)
    Error = 32,   // capture standard error
    Connect = 64, // standard input from the output of another handle (the input source)
};

// Starts `program` with `parameters` (one text, split by the Windows command-line rules) in
// `directory` (empty: the caller's own). A program that cannot be started is handed to the desktop
// shell (a document, a web address), unless Read, Write, Error or Connect is set.
// Result: 0 on failure; 1 when started without Open; with Open, a program handle (never 0 or 1)
// that the caller must give to release_program.
std::intptr_t launch_program(std::string_view program, std::string_view parameters, std::string_view directory,
                             std::int32_t flags, std::intptr_t input_source = 0);

// Opens a document with its associated program: launch_program(path, "", "", 0).
std::intptr_t open_document(std::string_view path);

// True while the program runs, and after it has ended while output remains to be read. Once a captured
// output has ended for good, a program that runs on is waited for a short while at most (2 s), and
// then no longer counts as pending: nothing more can be read from it.
bool program_pending(std::intptr_t handle);

// The next line of the program's standard output without its line end (CR LF, LF or CR). Blocks until
// a whole line or the end of the output is there; "" at once for a handle started without Read. The
// output of a program that has ended is over once its pipe is empty, even while a process it left
// behind still holds the pipe open.
// With a time limit (limit_program_time), it blocks no longer than that.
std::string read_program_line(std::intptr_t handle);

// Waits up to `timeout_ms` until the next read_program_line has something to read: a whole line held
// back, bytes in the pipe, or the end of the output or of the program. False when the time ran out, so
// that a caller can keep its window painted in between.
bool wait_for_program_output(std::intptr_t handle, std::int32_t timeout_ms);

// Waits up to `timeout_ms` for the program to end; true when it has, or when it reached its time limit
// meanwhile and was stopped. For a handle that has no process (a document the shell opened in a program
// already running) there is nothing to wait for: true.
bool wait_for_program_end(std::intptr_t handle, std::int32_t timeout_ms);

// Ends the program at once, if it still runs.
void stop_program(std::intptr_t handle);

// Gives the program a time limit of `limit_ms`, counted from its start (0 or less: due at once); a
// later call replaces it. The runner enforces it wherever it can wait for the program's output or end
// (read_program_line, also between its reads, wait_for_program_output, wait_for_program_end): once the
// limit is due, the program is stopped as stop_program stops it, and from then on it counts as a
// program that has ended: the bytes it left in the pipe are still read, a last line without its line
// end too, and then its output is over. Without a call there is no limit. 0 and 1 (no handle) are
// ignored.
void limit_program_time(std::intptr_t handle, std::int32_t limit_ms);

// Closes the pipes and forgets the program, which runs on; a released process is still reaped when it
// ends. Values that are not a live handle (0, 1, a handle already released) are ignored.
void release_program(std::intptr_t handle);

// The value of the environment variable `name`; "" when it is not set.
std::string environment_value(std::string_view name);

} // namespace lum
