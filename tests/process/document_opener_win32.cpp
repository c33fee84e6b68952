// tests/process/document_opener_win32.cpp: registers the test child as what opens documents and web addresses.
#include <windows.h>

#include "document_opener.h"

namespace lum::testing_support {
namespace {

constexpr const char* TYPE_KEY = "LumTestDocument";
constexpr const char* EXTENSION_KEYS[] = {".lumdoc", ".txt"};
constexpr const char* COMMAND_KEYS[] = {"LumTestDocument\\shell\\open\\command", "http\\shell\\open\\command"};

void set_value(const char* key, const char* name, const std::string& value) {
    HKEY opened = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(opened);
}

void set_default_value(const char* key, const std::string& value) { set_value(key, nullptr, value); }

} // namespace

// Wine's shell reads associations from the machine's classes only; the test prefixes are made afresh
// for every run, so nothing there needs restoring.
void install_document_opener(const std::string& child_path, const std::string& record_path, const std::string&) {
    for (const char* extension : EXTENSION_KEYS)
        set_default_value(extension, TYPE_KEY);
    set_value("http", "URL Protocol", "");
    for (const char* command : COMMAND_KEYS) {
        set_default_value(command, "\"" + child_path + "\" append \"" + record_path + "\" cwd startup args \"%1\"");
    }
}

// What the test child's "startup" action writes for STARTF_USESHOWWINDOW with SW_SHOWNORMAL.
std::string shown_normally_note() { return "show_given=1 show=1 handles_given=0"; }

void remove_document_opener() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, TYPE_KEY);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "http");
    for (const char* extension : EXTENSION_KEYS)
        RegDeleteTreeA(HKEY_CLASSES_ROOT, extension);
}

} // namespace lum::testing_support
