// tests/net/win32/planted_library.cpp: a false IPHLPAPI.DLL with the three ICMP calls, which notes its load and each
// call.
#include <windows.h>

#include <ipexport.h>

#include <string>

#include "planted_library.h"

namespace {

using lum::testing_support::PLANTED_NOTES;

void note(const char* what) {
    char earlier[1024] = "";
    const DWORD length = GetEnvironmentVariableA(PLANTED_NOTES, earlier, sizeof earlier);
    const std::string notes = (length < sizeof earlier ? std::string(earlier, length) : std::string()) + what + " ";
    SetEnvironmentVariableA(PLANTED_NOTES, notes.c_str());
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) note("loaded");
    return TRUE;
}

// Tells the plant from the real library: Wine, left to itself, loads its own library under the plant's path.
__declspec(dllexport) BOOL WINAPI PlantedLibraryMark() { return TRUE; }

__declspec(dllexport) HANDLE WINAPI IcmpCreateFile() {
    note("IcmpCreateFile");
    return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x4242));
}

// Answers at once, with a round trip that gives the plant away.
__declspec(dllexport) DWORD WINAPI IcmpSendEcho(HANDLE, IPAddr address, LPVOID, WORD, PIP_OPTION_INFORMATION,
                                                LPVOID reply_area, DWORD reply_size, DWORD) {
    note("IcmpSendEcho");
    if (reply_area == nullptr || reply_size < sizeof(ICMP_ECHO_REPLY)) return 0;
    ICMP_ECHO_REPLY reply{};
    reply.Address = address;
    reply.RoundTripTime = lum::testing_support::PLANTED_ROUND_TRIP_MS;
    CopyMemory(reply_area, &reply, sizeof reply);
    return 1;
}

__declspec(dllexport) BOOL WINAPI IcmpCloseHandle(HANDLE) {
    note("IcmpCloseHandle");
    return TRUE;
}

} // extern "C"
