// runtime/system/system.h: which release of the operating system the program runs on, as a small code.
#pragma once

#include <cstdint>

namespace lum {

// Codes: 50 Windows 2000, 60 XP, 65 Server 2003, 70 Vista, 75 Server 2008, 80 Windows 7, 85 2008 R2,
// 90 Windows 8, 95 Server 2012; 5, 10, 20, 30, 40 older releases; 200 anything else or unknown.
std::int32_t os_version_code();

// What the platform's version query reported: the plain record, and the product type of the extended one.
struct VersionRecord {
    bool plain_ok = false;
    std::uint32_t platform_id = 0; // 1: the Windows 95 family, 2: the NT family
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    bool extended_ok = false;
    std::uint8_t product_type = 0; // 1: workstation; anything else counts as a server
};

// The release code for a version record; the decision needs no platform, so it is tested everywhere.
std::int32_t decide_os_version(const VersionRecord& record);

// Backend: the record as the platform reports it (nothing on platforms without the query).
VersionRecord query_os_version();

} // namespace lum
