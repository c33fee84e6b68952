// runtime/files/win32/os_file.cpp: the file calls of the buffered text files, on Win32 handles.
#include "runtime/files/os_file.h"

#include <windows.h>

#include <string>

namespace lum {
namespace {

// CreateFileA wants a terminated string; the handle is kept as a number so that the header stays OS-free.
std::intptr_t create_file(std::string_view path, DWORD access, DWORD disposition) {
    const std::string terminated(path);
    HANDLE handle =
        CreateFileA(terminated.c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return 0;
    return reinterpret_cast<std::intptr_t>(handle);
}

HANDLE as_handle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

} // namespace

OsFile OsFile::create_read_write(std::string_view path) {
    return OsFile(create_file(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS));
}

// CREATE_ALWAYS fails on an existing hidden or system file; opening it and truncating still works.
OsFile OsFile::truncate_existing(std::string_view path) {
    return OsFile(create_file(path, GENERIC_WRITE, TRUNCATE_EXISTING));
}

OsFile OsFile::open_read(std::string_view path) { return OsFile(create_file(path, GENERIC_READ, OPEN_EXISTING)); }

OsFile OsFile::open_write_keep(std::string_view path) { return OsFile(create_file(path, GENERIC_WRITE, OPEN_ALWAYS)); }

std::int32_t OsFile::read(char* into, std::int32_t size) {
    DWORD got = 0;
    if (!is_open() || size <= 0) return 0;
    if (!ReadFile(as_handle(file_.get()), into, static_cast<DWORD>(size), &got, nullptr)) return 0;
    return static_cast<std::int32_t>(got);
}

// WriteFile on a disk file writes everything or fails, so one call is enough.
std::int32_t OsFile::write(const char* from, std::int32_t size) {
    DWORD written = 0;
    if (!is_open() || size <= 0) return 0;
    if (!WriteFile(as_handle(file_.get()), from, static_cast<DWORD>(size), &written, nullptr)) return 0;
    return static_cast<std::int32_t>(written);
}

void OsFile::move_back(std::int32_t count) {
    if (is_open()) SetFilePointer(as_handle(file_.get()), -static_cast<LONG>(count), nullptr, FILE_CURRENT);
}

void OsFile::Kind::free(std::intptr_t handle) { CloseHandle(as_handle(handle)); }

} // namespace lum

namespace lum {

char path_separator() { return '\\'; }

} // namespace lum
