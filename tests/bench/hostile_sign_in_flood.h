// tests/bench/hostile_sign_in_flood.h: a sign-in flood from one IPv6 /64, and what it costs the program's start-up
// check and its uploads.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace lum::bench {

// Adds 1,000 addresses of one /64 to loopback (only inside a network namespace of the bench's own: elsewhere
// it says so and measures nothing), starts the built lumresults on [::]:0 with its defaults, and for `length`
// floods it with sign-ins from those addresses at a steady rate while a subscriber asks /ip/ and others upload
// `report`. Prints /ip/'s latency, the uploads stored of those sent, and how the sign-ins were answered.
void sign_in_flood_phase(const std::filesystem::path& work, std::chrono::seconds length, const std::string& report);

} // namespace lum::bench
