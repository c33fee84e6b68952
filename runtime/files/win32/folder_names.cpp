// runtime/files/win32/folder_names.cpp: the folders the environment names, read in full, spelled for the ANSI calls.
#include <windows.h>

#include <string>

#include "runtime/files/files.h"

namespace lum {
namespace {

// The variable's value as the system keeps it, in UTF-16; "" when it is not set.
std::wstring wide_environment_value(std::string_view name) {
    const std::wstring key(name.begin(), name.end()); // the program's variable names are ASCII
    std::wstring value;
    DWORD needed = GetEnvironmentVariableW(key.c_str(), nullptr, 0);
    // Another thread may grow the variable between the two calls; ask again until it fits.
    while (needed > 0) {
        value.resize(needed);
        const DWORD written = GetEnvironmentVariableW(key.c_str(), value.data(), needed);
        if (written < needed) {
            value.resize(written);
            return value;
        }
        needed = written;
    }
    return {};
}

// The path in the ANSI code page, when that holds every one of its characters. Without
// WC_NO_BEST_FIT_CHARS a letter could become a look-alike ("ł" as "l") that names another folder.
// A UTF-8 code page spells everything, and refuses both the flag and the question.
std::optional<std::string> ansi_spelling(const std::wstring& path) {
    if (path.empty()) return std::string();
    const int length = static_cast<int>(path.size());
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL used_default = FALSE;
    BOOL* const ask_default = utf8 ? nullptr : &used_default;
    const int size = WideCharToMultiByte(CP_ACP, flags, path.data(), length, nullptr, 0, nullptr, ask_default);
    if (size <= 0 || used_default) return std::nullopt;
    std::string spelled(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, flags, path.data(), length, spelled.data(), size, nullptr, nullptr);
    return spelled;
}

// The 8.3 form of an existing path; "" when the path does not exist. A volume without short names
// gives the long path back, which the caller then cannot spell either.
std::wstring short_path(const std::wstring& path) {
    const DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) return {};
    std::wstring result(needed, L'\0');
    const DWORD written = GetShortPathNameW(path.c_str(), result.data(), needed);
    if (written == 0 || written >= needed) return {};
    result.resize(written);
    return result;
}

// As it is when the code page can spell it, else by its short name; nothing when neither works.
std::optional<std::string> spelled_for_ansi_calls(const std::wstring& path) {
    if (std::optional<std::string> spelled = ansi_spelling(path)) return spelled;
    const std::wstring short_form = short_path(path);
    if (short_form.empty()) return std::nullopt;
    return ansi_spelling(short_form);
}

} // namespace

// GetTempPathW ends the folder with a backslash; the program's paths add their own.
std::string system_temp_folder() {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return {};
    std::wstring result(folder, length);
    if (result.size() > 1 && result.back() == L'\\') result.pop_back();
    return spelled_for_ansi_calls(result).value_or(std::string());
}

std::optional<std::string> environment_folder(std::string_view name) {
    return spelled_for_ansi_calls(wide_environment_value(name));
}

} // namespace lum
