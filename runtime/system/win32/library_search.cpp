// runtime/system/win32/library_search.cpp: narrows Windows' library search to the system folder.
#include <windows.h>

#include "runtime/system/library_search.h"

namespace lum {
namespace {

using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);

// Windows 8 has the call, and Windows 7 once its loader update is installed: it is looked up rather
// than linked, so that the program still starts on a Windows 7 without the update.
SetDefaultDllDirectoriesCall find_set_default_dll_directories() {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return nullptr;
    // Through the untyped function pointer, since the loader's address carries no type of its own.
    return reinterpret_cast<SetDefaultDllDirectoriesCall>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
}

} // namespace

// The plain search looks in the program's own folder first, so any DLL a system library loads by name
// could be replaced by a file that a browser saved next to the program.
void restrict_library_search() {
    const SetDefaultDllDirectoriesCall set_default_dll_directories = find_set_default_dll_directories();
    if (set_default_dll_directories != nullptr) set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

} // namespace lum
