// tests/process/child_platform_win32.cpp: the test child's view of its own Windows process.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <cstdio>

#include "child_platform.h"

namespace lum::child {

void use_binary_streams() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
}

std::string command_line() { return GetCommandLineA(); }

std::string startup_state() {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    const bool show_given = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0;
    const bool handles_given = (startup.dwFlags & STARTF_USESTDHANDLES) != 0;
    return std::string("show_given=") + (show_given ? "1" : "0") + " show=" + std::to_string(startup.wShowWindow) +
           " handles_given=" + (handles_given ? "1" : "0");
}

int process_id() { return _getpid(); }

} // namespace lum::child
