// runtime/process/win32/os_process.cpp: pipe ends and process handles on Win32.
#include <windows.h>

#include "runtime/process/os_process.h"

namespace lum {
namespace {

HANDLE as_handle(std::intptr_t native) { return reinterpret_cast<HANDLE>(native); }

} // namespace

std::int32_t OsPipe::read_some(char* into, std::int32_t room) {
    DWORD got = 0;
    if (!is_open() || room <= 0) return 0;
    // ReadFile on a pipe returns as soon as some bytes are there, and fails with ERROR_BROKEN_PIPE
    // once every writer has closed its end and the pipe is empty.
    if (!ReadFile(as_handle(native()), into, static_cast<DWORD>(room), &got, nullptr)) return 0;
    return static_cast<std::int32_t>(got);
}

std::int32_t OsPipe::bytes_waiting() const {
    DWORD available = 0;
    if (!is_open() || !PeekNamedPipe(as_handle(native()), nullptr, 0, nullptr, &available, nullptr)) return 0;
    return available > 0x7fffffff ? 0x7fffffff : static_cast<std::int32_t>(available);
}

// A pipe whose writers have all closed answers the peek with ERROR_BROKEN_PIPE once it is empty.
bool OsPipe::at_end() const {
    DWORD available = 0;
    if (!is_open()) return true;
    if (PeekNamedPipe(as_handle(native()), nullptr, 0, nullptr, &available, nullptr)) return false;
    return GetLastError() == ERROR_BROKEN_PIPE;
}

// Anonymous pipes cannot be waited on, so the pipe is peeked at in short steps.
bool OsPipe::wait_readable(std::int32_t timeout_ms) const {
    constexpr DWORD STEP_MS = 10;
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms < 0 ? 0 : timeout_ms);
    for (;;) {
        DWORD available = 0;
        if (!is_open() || !PeekNamedPipe(as_handle(native()), nullptr, 0, nullptr, &available, nullptr)) return true;
        if (available > 0) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(STEP_MS);
    }
}

void PipeEndKind::free(std::intptr_t native) { CloseHandle(as_handle(native)); }

bool OsProcess::has_ended() {
    if (native_ == NO_NATIVE) return true;
    if (!ended_) ended_ = WaitForSingleObject(as_handle(native_), 0) == WAIT_OBJECT_0;
    return ended_;
}

void OsProcess::wait() {
    if (native_ == NO_NATIVE || ended_) return;
    ended_ = WaitForSingleObject(as_handle(native_), INFINITE) == WAIT_OBJECT_0;
}

bool OsProcess::wait_for(std::int32_t timeout_ms) {
    if (native_ == NO_NATIVE || ended_) return true;
    const DWORD limit = timeout_ms < 0 ? 0 : static_cast<DWORD>(timeout_ms);
    ended_ = WaitForSingleObject(as_handle(native_), limit) == WAIT_OBJECT_0;
    return ended_;
}

void OsProcess::terminate() {
    if (native_ != NO_NATIVE && !has_ended()) TerminateProcess(as_handle(native_), 1);
}

// Closing the handle leaves the program running; Windows keeps no zombies.
void OsProcess::let_go() {
    if (native_ != NO_NATIVE) CloseHandle(as_handle(std::exchange(native_, NO_NATIVE)));
    ended_ = false;
}

} // namespace lum
