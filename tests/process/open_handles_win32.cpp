// tests/process/open_handles_win32.cpp: open handles of this process, as the system counts them or found by probing.
#include <windows.h>

#include "open_handles.h"

namespace lum::testing_support {
namespace {

// Handle values are multiples of 4, and a new handle takes the lowest free value, so a run that starts
// with a few dozen handles would have to leak thousands before one landed above this bound.
constexpr ULONG_PTR PROBED_VALUES_END = 0x10000;

// Wine answers GetProcessHandleCount with success and a count of 0, however many handles are open. A
// process always holds some handles, so 0 means the system does not count them.
bool system_counts_handles() {
    static const bool counts = [] {
        DWORD count = 0;
        return GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0;
    }();
    return counts;
}

std::int64_t probe_handle_values() {
    std::int64_t count = 0;
    for (ULONG_PTR value = 4; value < PROBED_VALUES_END; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

} // namespace

// Measured under Wine: the first use of HKEY_CLASSES_ROOT (the document opener's associations) opens
// the classes key behind it, and the first profile lookup (the shell's, when it opens a document)
// opens the key of the profile mappings; both stay open for the life of the process.
void open_lasting_system_handles() {
    // Asked about itself, since opening "" would hand back the kept handle, which must not be closed.
    RegQueryInfoKeyA(HKEY_CLASSES_ROOT, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    GetProfileIntA("windows", "lumtest-none", 0);
}

std::int64_t count_open_handles() {
    if (!system_counts_handles()) return probe_handle_values();
    DWORD count = 0;
    if (!GetProcessHandleCount(GetCurrentProcess(), &count)) return -1;
    return static_cast<std::int64_t>(count);
}

std::string open_handles_measure() {
    return system_counts_handles() ? "handles (GetProcessHandleCount)"
                                   : "handles (values below 0x10000 that GetHandleInformation accepts)";
}

} // namespace lum::testing_support
