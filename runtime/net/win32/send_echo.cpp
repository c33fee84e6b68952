// runtime/net/win32/send_echo.cpp: one ICMP echo on Windows through the platform's ICMP library.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/common/unique_resource.h"
#include "runtime/net/addresses.h"
#include "runtime/net/echo_backend.h"
#include "runtime/net/net.h"

namespace lum {
namespace {

struct LibraryKind {
    using Native = HMODULE;
    static constexpr HMODULE none() { return nullptr; }
    static bool holds(HMODULE module) { return module != nullptr; }
    static void free(HMODULE module) { FreeLibrary(module); }
};

// The ICMP library is not among those that Windows always takes from the system folder: linked by name,
// a file called IPHLPAPI.DLL beside the program (a Downloads folder) would be loaded in its place. It is
// loaded by hand, for one echo, from the system folder alone.
class IcmpLibrary {
public:
    IcmpLibrary() : module_(load_from_system_folder(L"iphlpapi.dll")) {
        if (!module_) return;
        icmp_create_file = entry_point<decltype(&IcmpCreateFile)>("IcmpCreateFile");
        icmp_send_echo = entry_point<decltype(&IcmpSendEcho)>("IcmpSendEcho");
        icmp_close_handle = entry_point<decltype(&IcmpCloseHandle)>("IcmpCloseHandle");
    }
    explicit operator bool() const {
        return icmp_create_file != nullptr && icmp_send_echo != nullptr && icmp_close_handle != nullptr;
    }

    decltype(&IcmpCreateFile) icmp_create_file = nullptr;
    decltype(&IcmpSendEcho) icmp_send_echo = nullptr;
    decltype(&IcmpCloseHandle) icmp_close_handle = nullptr;

private:
    // Windows 8 and a Windows 7 with its loader update understand the search flag; an older loader refuses
    // it, and the full path of the system folder's copy does the same job there.
    static HMODULE load_from_system_folder(const wchar_t* name) {
        if (const HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
        wchar_t folder[MAX_PATH];
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return nullptr;
        const std::wstring path = std::wstring(folder, length) + L"\\" + name;
        return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }

    // Through the untyped function pointer, since the loader's address carries no type of its own.
    template <class Call> Call entry_point(const char* name) const {
        return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(GetProcAddress(module_.get(), name)));
    }

    UniqueResource<LibraryKind> module_;
};

// Closed through the library it came from, so it keeps the library at hand rather than a fixed closer.
class IcmpHandle {
public:
    explicit IcmpHandle(const IcmpLibrary& library) : library_(library), handle_(library.icmp_create_file()) {}
    IcmpHandle(const IcmpHandle&) = delete;
    IcmpHandle& operator=(const IcmpHandle&) = delete;
    ~IcmpHandle() {
        if (*this) library_.icmp_close_handle(handle_);
    }
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }

private:
    const IcmpLibrary& library_;
    HANDLE handle_;
};

// IcmpSendEcho needs room for one reply record (40 bytes in a 64-bit program, 28 in a 32-bit one),
// the echoed payload, and 8 bytes more for an ICMP error message. With less it fails every time
// (error 11050, IP_GENERAL_FAILURE), so an area sized for the 32-bit record breaks every echo of a
// 64-bit build.
std::size_t reply_area_size(std::size_t payload_size) { return sizeof(ICMP_ECHO_REPLY) + payload_size + 8; }

IPAddr ip_addr_of(std::uint32_t address) {
    const auto bytes = address_bytes(address);
    IPAddr target = 0;
    std::memcpy(&target, bytes.data(), bytes.size());
    return target;
}

} // namespace

// No request options, so the platform's default time-to-live and flags apply. The reply's status is
// not examined: any reply the platform counts, an error report from a router on the way included, is
// taken as the host's answer, as the program always has.
std::int32_t send_echo(std::uint32_t address, std::string_view payload, std::int32_t timeout_ms) {
    const IcmpLibrary library;
    if (!library) return ECHO_NO_REPLY;
    const IcmpHandle icmp(library);
    if (!icmp) return ECHO_NO_REPLY;
    std::string request(payload); // the call takes the request data through a non-const pointer
    std::vector<unsigned char> reply_area(reply_area_size(request.size()), 0);
    const DWORD replies = library.icmp_send_echo(
        icmp.get(), ip_addr_of(address), request.data(), static_cast<WORD>(request.size()), nullptr, reply_area.data(),
        static_cast<DWORD>(reply_area.size()), static_cast<DWORD>(std::max(timeout_ms, 0)));
    if (replies == 0) return ECHO_NO_REPLY;
    ICMP_ECHO_REPLY reply{};
    std::memcpy(&reply, reply_area.data(), sizeof reply);
    return static_cast<std::int32_t>(reply.RoundTripTime);
}

} // namespace lum
