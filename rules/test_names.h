// rules/test_names.h: the seven tests' names, as the rows show them and the report heads their sections.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lum {

inline constexpr int TEST_COUNT = 7;

// Shown in the rows and written to the report exactly like this; test 4's name ends with a space.
inline constexpr std::array<std::string_view, TEST_COUNT> TEST_NAMES = {
    "Test 1: Network Config",
    "Test 2: Network Connection",
    "Test 3: DNS Resolve",
    "Test 4: Normal Ping (32 Bytes) Test ",
    "Test 5: Large Packet Ping (1400 Bytes) Test",
    "Test 6: HTTP Get File Test",
    "Test 7: Multicast Test",
};

// Test 1 to 7's name.
constexpr std::string_view test_name(std::int32_t test) { return TEST_NAMES[static_cast<std::size_t>(test - 1)]; }

} // namespace lum
