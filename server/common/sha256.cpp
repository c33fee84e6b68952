// server/common/sha256.cpp: SHA-256 by libsodium's streaming calls.
#include "server/common/sha256.h"

#include <array>

#include "server/common/sodium_start.h"

namespace lumresults {

Sha256::Sha256() {
    ensure_sodium();
    crypto_hash_sha256_init(&state_);
}

void Sha256::update(std::string_view bytes) {
    crypto_hash_sha256_update(&state_, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string Sha256::finish_hex() {
    std::array<unsigned char, crypto_hash_sha256_BYTES> digest;
    crypto_hash_sha256_final(&state_, digest.data());
    std::array<char, 2 * crypto_hash_sha256_BYTES + 1> hex; // sodium_bin2hex ends it with a NUL
    sodium_bin2hex(hex.data(), hex.size(), digest.data(), digest.size());
    return std::string(hex.data(), 2 * crypto_hash_sha256_BYTES);
}

} // namespace lumresults
