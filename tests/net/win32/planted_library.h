// tests/net/win32/planted_library.h: what the false IPHLPAPI.DLL planted beside a test binary leaves behind.
#pragma once

namespace lum::testing_support {

// The process environment variable to which the planted library adds one word for its load and for each
// call ("loaded IcmpCreateFile IcmpSendEcho IcmpCloseHandle "): it lives and dies with the process, so
// no run sees another's notes.
inline constexpr const char* PLANTED_NOTES = "LUMTEST_PLANTED_NOTES";

// The round trip the planted echo reports: no echo on loopback takes that long.
inline constexpr unsigned long PLANTED_ROUND_TRIP_MS = 4242;

} // namespace lum::testing_support
