// runtime/system/os_version.cpp: turns the reported version numbers into the program's release code.
#include "runtime/system/system.h"

namespace lum {
namespace {

constexpr std::int32_t FUTURE_RELEASE = 200;
constexpr std::uint32_t PLATFORM_95_FAMILY = 1;
constexpr std::uint32_t PLATFORM_NT_FAMILY = 2;

std::int32_t decide_95_family(std::uint32_t minor) {
    switch (minor) {
    case 0: return 10;
    case 10: return 30;
    case 90: return 40;
    default: return FUTURE_RELEASE;
    }
}

// Workstation and server releases of NT 5.2 and 6.x share version numbers; only the product type
// of the extended record tells them apart.
std::int32_t decide_nt_family(std::uint32_t major, std::uint32_t minor, bool workstation) {
    switch (major) {
    case 3: return 5;
    case 4: return 20;
    case 5:
        if (minor == 0) return 50;
        if (minor == 1) return 60;
        if (minor == 2) return workstation ? 60 : 65;
        return FUTURE_RELEASE;
    case 6:
        if (minor == 0) return workstation ? 70 : 75;
        if (minor == 1) return workstation ? 80 : 85;
        if (minor == 2) return workstation ? 90 : 95;
        return FUTURE_RELEASE;
    default: return FUTURE_RELEASE;
    }
}

} // namespace

std::int32_t decide_os_version(const VersionRecord& record) {
    if (!record.plain_ok) return FUTURE_RELEASE;
    if (record.platform_id == PLATFORM_95_FAMILY) return decide_95_family(record.minor);
    if (record.platform_id == PLATFORM_NT_FAMILY) {
        const bool workstation = record.extended_ok && record.product_type == 1;
        return decide_nt_family(record.major, record.minor, workstation);
    }
    return FUTURE_RELEASE;
}

std::int32_t os_version_code() { return decide_os_version(query_os_version()); }

} // namespace lum
