// runtime/system/win32/query_os_version.cpp: reads the version records that Windows reports to this program.
#include <windows.h>

#include "runtime/system/system.h"

namespace lum {

// Windows 8.1 and later report 6.2 to programs whose manifest does not claim them; the program's
// manifest (resources/lumtest.manifest.in) claims every release up to Windows 10 and 11, so the numbers
// that come here are the real ones.
VersionRecord query_os_version() {
    VersionRecord record;
    OSVERSIONINFOA plain{};
    plain.dwOSVersionInfoSize = sizeof(plain); // 148: the record every release understands
    if (!GetVersionExA(&plain)) return record;
    record.plain_ok = true;
    record.platform_id = plain.dwPlatformId;
    record.major = plain.dwMajorVersion;
    record.minor = plain.dwMinorVersion;
    if (plain.dwPlatformId != VER_PLATFORM_WIN32_NT) return record;

    OSVERSIONINFOEXA extended{};
    extended.dwOSVersionInfoSize = sizeof(extended); // 156: adds the product type
    if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) {
        record.extended_ok = true;
        record.product_type = extended.wProductType;
    }
    return record;
}

} // namespace lum
