// server/common/sha256.h: SHA-256 (FIPS 180-4) over bytes that arrive in pieces.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumresults {

class Sha256 {
public:
    Sha256();
    void update(std::string_view bytes);
    // The digest of everything given so far; the object must not be updated afterwards.
    std::array<std::uint8_t, 32> finish();
    // finish() as 64 lower-case hex digits.
    std::string finish_hex();

private:
    void compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> block_{};
    std::size_t block_used_ = 0;
    std::uint64_t total_bytes_ = 0;
};

} // namespace lumresults
