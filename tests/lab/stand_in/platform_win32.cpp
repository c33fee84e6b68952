// tests/lab/stand_in/platform_win32.cpp: the stand-in's view of its own Windows process and of the journal lock.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <cstdio>

#include "tests/lab/stand_in/platform.h"

namespace lum::lab {
namespace {

// A byte far beyond any journal's end is the lock: readers of the journal's lines are never blocked.
OVERLAPPED lock_place() {
    OVERLAPPED place{};
    place.OffsetHigh = 0x40000000;
    return place;
}

bool read_all(HANDLE file, std::string& text) {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        text.append(buffer, got);
    return got == 0;
}

bool append_all(HANDLE file, const std::string& text) {
    LARGE_INTEGER none{};
    if (!SetFilePointerEx(file, none, nullptr, FILE_END)) return false;
    DWORD put = 0;
    return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &put, nullptr) && put == text.size();
}

} // namespace

void use_binary_output() { _setmode(_fileno(stdout), _O_BINARY); }

// The "A" call, as the program under test makes its own: std::filesystem would give UTF-8 instead.
std::string current_folder() {
    char folder[MAX_PATH + 1];
    const DWORD length = GetCurrentDirectoryA(sizeof(folder), folder);
    return length > 0 && length <= MAX_PATH ? std::string(folder, length) : std::string();
}

// Unhandled, the exception ends the process the way a real crash does (with no dialog in the tests' prefix).
void crash_now() {
    RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    ExitProcess(0xC0000005);
}

std::string own_program_path() {
    char path[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    return length > 0 && length < sizeof(path) ? std::string(path, length) : std::string();
}

std::string local_path(const std::string& program_path) { return program_path; }

// Shared for reading and writing, so that a test may read the journal while tools run; the stand-ins
// take turns through LockFileEx, which waits.
bool append_under_lock(const std::string& path, const std::function<std::string(const std::string&)>& next_text) {
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    OVERLAPPED place = lock_place();
    bool done = false;
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &place)) {
        std::string text;
        done = read_all(file, text) && append_all(file, next_text(text));
        place = lock_place();
        UnlockFileEx(file, 0, 1, 0, &place);
    }
    CloseHandle(file);
    return done;
}

} // namespace lum::lab
