// tests/process/document_opener_win32.cpp: registers the test child as the program that opens ".lumdoc" files.
#include <windows.h>

#include "document_opener.h"

namespace lum::testing_support {
namespace {

constexpr const char* EXTENSION_KEY = ".lumdoc";
constexpr const char* TYPE_KEY = "LumTestDocument";
constexpr const char* COMMAND_KEY = "LumTestDocument\\shell\\open\\command";

void set_default_value(const char* key, const std::string& value) {
    HKEY opened = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(opened);
}

} // namespace

void install_document_opener(const std::string& child_path, const std::string& record_path, const std::string&) {
    set_default_value(EXTENSION_KEY, "LumTestDocument");
    set_default_value(COMMAND_KEY, "\"" + child_path + "\" to \"" + record_path + "\" cwd args \"%1\"");
}

void remove_document_opener() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, TYPE_KEY);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, EXTENSION_KEY);
}

} // namespace lum::testing_support
