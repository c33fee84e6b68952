// tests/net/win32/planted_library_test.cpp: a false IPHLPAPI.DLL beside the program is never the ICMP library used.
//
// The false library (planted_library.cpp) lies in this binary's own folder, which the plain library
// search looks in first. It notes its load and every call in the process environment.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "planted_library.h"
#include "runtime/net/net.h"
#include "runtime/system/library_search.h"

namespace lum {
namespace {

namespace fs = std::filesystem;
using testing_support::PLANTED_NOTES;
using testing_support::PLANTED_ROUND_TRIP_MS;

std::string planted_notes() {
    char notes[1024] = "";
    const DWORD length = GetEnvironmentVariableA(PLANTED_NOTES, notes, sizeof notes);
    return length < sizeof notes ? std::string(notes, length) : std::string("(too many notes)");
}

fs::path module_path(HMODULE module) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? fs::path(std::wstring(path, length)) : fs::path();
}

fs::path system_folder() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? fs::path(std::wstring(folder, length)) : fs::path();
}

fs::path planted_path() { return module_path(nullptr).parent_path() / "IPHLPAPI.DLL"; }

struct FreeLibraryCall {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using LoadedLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, FreeLibraryCall>;

// The plant is a working ICMP library: loaded, it answers, so that the tests below can tell its use.
TEST(PlantedLibrary, WouldAnswerTheEchoIfItWereLoaded) {
    ASSERT_TRUE(fs::exists(planted_path()));
    {
        const LoadedLibrary planted(LoadLibraryW(planted_path().c_str()));
        ASSERT_NE(planted, nullptr) << GetLastError();
        ASSERT_NE(GetProcAddress(planted.get(), "PlantedLibraryMark"), nullptr)
            << "the system's library was loaded in the plant's place: under Wine the test needs the load order "
               "native first for iphlpapi (WINEDLLOVERRIDES), as on Windows";
        const auto send = reinterpret_cast<DWORD(WINAPI*)(HANDLE, ULONG, LPVOID, WORD, LPVOID, LPVOID, DWORD, DWORD)>(
            reinterpret_cast<void (*)()>(GetProcAddress(planted.get(), "IcmpSendEcho")));
        ASSERT_NE(send, nullptr);
        unsigned char reply[64] = {};
        EXPECT_EQ(send(nullptr, 0x0100007f, nullptr, 0, nullptr, reply, sizeof reply, 500), 1u);
        EXPECT_EQ(reply[8] | reply[9] << 8, static_cast<int>(PLANTED_ROUND_TRIP_MS));
    }
    EXPECT_EQ(planted_notes(), "loaded IcmpSendEcho ");
    SetEnvironmentVariableA(PLANTED_NOTES, nullptr);
    EXPECT_EQ(GetModuleHandleW(L"iphlpapi.dll"), nullptr) << "the plant stayed loaded";
}

// Were the ICMP library linked by name, the plant would be loaded with this binary and answer the echo.
TEST(PlantedLibrary, EchoTakesTheSystemFoldersLibrary) {
    const std::int32_t round_trip = echo_host_timed("127.0.0.1", 5000);
    EXPECT_GE(round_trip, 0);
    EXPECT_NE(round_trip, static_cast<std::int32_t>(PLANTED_ROUND_TRIP_MS));
    EXPECT_EQ(planted_notes(), "");
}

// Last, since nothing undoes the narrowing: a library loaded by name after it comes from the system
// folder, although a file of that name lies in the program's own folder, which the plain search takes first.
TEST(PlantedLibrary, NarrowedSearchPassesOverTheProgramsFolder) {
    ASSERT_EQ(GetModuleHandleW(L"iphlpapi.dll"), nullptr) << "already loaded: the search would not be asked";
    restrict_library_search();
    const LoadedLibrary loaded(LoadLibraryW(L"iphlpapi.dll"));
    ASSERT_NE(loaded, nullptr) << GetLastError();
    EXPECT_TRUE(fs::equivalent(module_path(loaded.get()).parent_path(), system_folder()))
        << module_path(loaded.get()).string();
    EXPECT_EQ(planted_notes(), "");
}

} // namespace
} // namespace lum
