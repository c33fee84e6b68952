// runtime/net/win32/send_echo.cpp: one ICMP echo on Windows through the platform's ICMP library.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/net/addresses.h"
#include "runtime/net/echo_backend.h"
#include "runtime/net/net.h"

namespace lum {
namespace {

class IcmpHandle {
public:
    IcmpHandle() : handle_(IcmpCreateFile()) {}
    IcmpHandle(const IcmpHandle&) = delete;
    IcmpHandle& operator=(const IcmpHandle&) = delete;
    ~IcmpHandle() {
        if (*this) IcmpCloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }

private:
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
    const IcmpHandle icmp;
    if (!icmp) return ECHO_NO_REPLY;
    std::string request(payload); // the call takes the request data through a non-const pointer
    std::vector<unsigned char> reply_area(reply_area_size(request.size()), 0);
    const DWORD replies = IcmpSendEcho(
        icmp.get(), ip_addr_of(address), request.data(), static_cast<WORD>(request.size()), nullptr, reply_area.data(),
        static_cast<DWORD>(reply_area.size()), static_cast<DWORD>(std::max(timeout_ms, 0)));
    if (replies == 0) return ECHO_NO_REPLY;
    ICMP_ECHO_REPLY reply{};
    std::memcpy(&reply, reply_area.data(), sizeof reply);
    return static_cast<std::int32_t>(reply.RoundTripTime);
}

} // namespace lum
