// runtime/process/win32/start_program.cpp: CreateProcessA with inherited pipe ends, and the ShellExecuteExA fallback.
#include <windows.h>

#include <shellapi.h>

#include "runtime/process/command_line.h"
#include "runtime/process/os_process.h"
#include "runtime/process/process.h"
#include "runtime/process/win32/unique_handle.h"

namespace lum {
namespace {

// The ends the child inherits; ours are closed once the child has its copies.
struct ChildEnds {
    UniqueHandle input;
    UniqueHandle output;
    UniqueHandle error;

    bool any() const { return input || output || error; }
};

// Both ends of a new pipe are inheritable; the caller's end is swapped at once for a non-inheritable
// copy, so that only the child's end reaches the child (and no later child holds our end open, which
// would keep the pipe from ever reporting its end).
bool make_pipe(bool caller_reads, UniqueHandle& child_end, OsPipe& caller_end) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return false;
    UniqueHandle ours(caller_reads ? read_end : write_end);
    UniqueHandle theirs(caller_reads ? write_end : read_end);
    HANDLE copy = nullptr;
    const HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, ours.get(), self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) return false;
    caller_end = OsPipe(reinterpret_cast<std::intptr_t>(copy));
    child_end = std::move(theirs);
    return true;
}

// The other program's reader stays non-inheritable in its own handle; the child inherits a copy.
UniqueHandle inheritable_copy(const OsPipe& pipe) {
    HANDLE copy = nullptr;
    const HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, reinterpret_cast<HANDLE>(pipe.native()), self, &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
        return UniqueHandle();
    }
    return UniqueHandle(copy);
}

// A pipe that cannot be made is left out: that stream of the child stays the caller's own.
void set_up_pipes(const StartRequest& request, ChildEnds& child, StartedProgram& started) {
    const bool open = (request.flags & Open) != 0;
    if ((request.flags & Connect) != 0 && request.connected_input != nullptr) {
        child.input = inheritable_copy(*request.connected_input);
    } else if (open && (request.flags & Write) != 0) {
        make_pipe(false, child.input, started.input_writer);
    }
    if (open && (request.flags & Read) != 0) make_pipe(true, child.output, started.output_reader);
    if (open && (request.flags & Error) != 0) make_pipe(true, child.error, started.error_reader);
}

HANDLE own_or(const UniqueHandle& child_end, DWORD standard) {
    return child_end ? child_end.get() : GetStdHandle(standard);
}

int show_state(std::int32_t flags) { return (flags & Hide) != 0 ? SW_HIDE : SW_SHOWNORMAL; }

} // namespace

bool start_program(const StartRequest& request, StartedProgram& started) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show_state(request.flags));
    // Without pipes a hidden program gets no console at all; with pipes it needs one to write to,
    // which SW_HIDE keeps out of sight.
    DWORD creation = NORMAL_PRIORITY_CLASS | ((request.flags & Hide) != 0 ? DETACHED_PROCESS : 0);
    ChildEnds child;
    set_up_pipes(request, child, started);
    const BOOL inherit = child.any() ? TRUE : FALSE;
    if (inherit) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        creation &= ~static_cast<DWORD>(DETACHED_PROCESS);
        startup.hStdInput = own_or(child.input, STD_INPUT_HANDLE);
        startup.hStdOutput = own_or(child.output, STD_OUTPUT_HANDLE);
        startup.hStdError = own_or(child.error, STD_ERROR_HANDLE);
    }
    std::string command_line = compose_command_line(request.program, request.parameters);
    const char* directory = request.directory.empty() ? nullptr : request.directory.c_str();
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, inherit, creation, nullptr, directory, &startup,
                        &info)) {
        started = StartedProgram();
        return false;
    }
    CloseHandle(info.hThread);
    started.process = OsProcess(reinterpret_cast<std::intptr_t>(info.hProcess));
    started.process_id = static_cast<std::int32_t>(info.dwProcessId);
    return true;
}

bool shell_open(const StartRequest& request, StartedProgram& started) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    // Keep the process to wait for or hold; never let the shell show an error box of its own.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = "";
    info.lpFile = request.program.c_str();
    info.lpParameters = request.parameters.c_str();
    info.lpDirectory = request.directory.empty() ? nullptr : request.directory.c_str();
    info.nShow = show_state(request.flags);
    if (!ShellExecuteExA(&info)) return false;
    // A document opened in a program that was already running comes without a process.
    started.process =
        info.hProcess != nullptr ? OsProcess(reinterpret_cast<std::intptr_t>(info.hProcess)) : OsProcess();
    return true;
}

} // namespace lum
