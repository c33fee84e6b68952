// server/common/sha256.cpp: SHA-256 (FIPS 180-4), kept small and dependency-free so that the report's digest
// is computed while the upload streams in.
#include "server/common/sha256.h"

#include <algorithm>
#include <cstring>

namespace lumresults {
namespace {

constexpr std::array<std::uint32_t, 64> ROUND_CONSTANTS = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::array<std::uint32_t, 8> INITIAL_STATE = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
};

constexpr std::uint32_t rotate_right(std::uint32_t value, unsigned count) {
    return (value >> count) | (value << (32 - count));
}

std::uint32_t load_big_endian(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 |
           std::uint32_t{bytes[3]};
}

} // namespace

Sha256::Sha256() : state_(INITIAL_STATE) {}

void Sha256::compress(const std::uint8_t* block) {
    std::array<std::uint32_t, 64> schedule;
    for (std::size_t i = 0; i < 16; ++i)
        schedule[i] = load_big_endian(block + 4 * i);
    for (std::size_t i = 16; i < 64; ++i) {
        const std::uint32_t s0 =
            rotate_right(schedule[i - 15], 7) ^ rotate_right(schedule[i - 15], 18) ^ (schedule[i - 15] >> 3);
        const std::uint32_t s1 =
            rotate_right(schedule[i - 2], 17) ^ rotate_right(schedule[i - 2], 19) ^ (schedule[i - 2] >> 10);
        schedule[i] = schedule[i - 16] + s0 + schedule[i - 7] + s1;
    }
    std::array<std::uint32_t, 8> v = state_; // a b c d e f g h
    for (std::size_t i = 0; i < 64; ++i) {
        const std::uint32_t s1 = rotate_right(v[4], 6) ^ rotate_right(v[4], 11) ^ rotate_right(v[4], 25);
        const std::uint32_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
        const std::uint32_t t1 = v[7] + s1 + choice + ROUND_CONSTANTS[i] + schedule[i];
        const std::uint32_t s0 = rotate_right(v[0], 2) ^ rotate_right(v[0], 13) ^ rotate_right(v[0], 22);
        const std::uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
        const std::uint32_t t2 = s0 + majority;
        v = {t1 + t2, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
    }
    for (std::size_t i = 0; i < 8; ++i)
        state_[i] += v[i];
}

void Sha256::update(std::string_view bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t left = bytes.size();
    total_bytes_ += left;
    if (block_used_ > 0) {
        const std::size_t taken = std::min(left, block_.size() - block_used_);
        std::memcpy(block_.data() + block_used_, data, taken);
        block_used_ += taken;
        data += taken;
        left -= taken;
        if (block_used_ < block_.size()) return;
        compress(block_.data());
        block_used_ = 0;
    }
    // Whole blocks straight from the caller's bytes: no copy for the bulk of a large report.
    for (; left >= block_.size(); data += block_.size(), left -= block_.size())
        compress(data);
    if (left > 0) std::memcpy(block_.data(), data, left);
    block_used_ = left;
}

std::array<std::uint8_t, 32> Sha256::finish() {
    const std::uint64_t total_bits = total_bytes_ * 8;
    block_[block_used_++] = 0x80;
    if (block_used_ > 56) {
        std::memset(block_.data() + block_used_, 0, block_.size() - block_used_);
        compress(block_.data());
        block_used_ = 0;
    }
    std::memset(block_.data() + block_used_, 0, 56 - block_used_);
    for (std::size_t i = 0; i < 8; ++i)
        block_[56 + i] = static_cast<std::uint8_t>(total_bits >> (56 - 8 * i));
    compress(block_.data());
    std::array<std::uint8_t, 32> digest;
    for (std::size_t i = 0; i < 32; ++i)
        digest[i] = static_cast<std::uint8_t>(state_[i / 4] >> (24 - 8 * (i % 4)));
    return digest;
}

std::string Sha256::finish_hex() {
    constexpr std::string_view DIGITS = "0123456789abcdef";
    std::string hex;
    hex.reserve(64);
    for (const std::uint8_t byte : finish()) {
        hex += DIGITS[byte >> 4];
        hex += DIGITS[byte & 0x0f];
    }
    return hex;
}

} // namespace lumresults
