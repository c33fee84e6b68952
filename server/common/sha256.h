// server/common/sha256.h: SHA-256 over bytes that arrive in pieces, as the hex digits the store keeps.
#pragma once

#include <sodium.h>

#include <string>
#include <string_view>

namespace lumresults {

// libsodium's SHA-256, fed piece by piece so that a report's digest is ready when its last byte arrives.
class Sha256 {
public:
    Sha256();
    void update(std::string_view bytes);
    // The digest of everything given so far as 64 lower-case hex digits; the object must not be used afterwards.
    std::string finish_hex();

private:
    crypto_hash_sha256_state state_;
};

} // namespace lumresults
