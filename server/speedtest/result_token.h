// server/speedtest/result_token.h: the token the speed-test page is given when it loads, which its result must carry.
//
// Only this server's own page can hold one: it is in the page's HTML, which another site's page may make
// a browser fetch but never read. The token is bound to the caller's address and expires; it is an HMAC
// under a key kept in the store, so any instance on that store checks it without keeping anything per
// token. Each token given is different (it holds a random nonce), so that the store can take one result
// per token (see SpeedTestStore::put_speed_test).
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "server/store/store.h"

namespace lumresults::speedtest {

// What a result's token was found to be.
enum class TokenCheck { good, wrong, expired };

struct CheckedToken {
    TokenCheck verdict = TokenCheck::wrong;
    SpeedTestToken spent; // when good: what the store keeps of it once it has kept a result
};

class ResultTokens {
public:
    // Long enough for a slow line's whole test after the page loaded, short enough that a token copied
    // out of a page is soon worth nothing.
    static constexpr std::chrono::minutes LIFETIME{30};

    // key: crypto_auth_KEYBYTES bytes (result_key() gives them). Throws std::invalid_argument otherwise.
    explicit ResultTokens(std::string key);

    // "EXPIRY.TAIL": the expiry in Unix seconds, then a random nonce and the MAC of it, the expiry and the
    // address, in URL-safe base64.
    std::string issue(std::string_view address, Clock::time_point now) const;
    // Wrong: malformed, made under another key or for another address. Expired: right, but too old.
    CheckedToken check(std::string_view token, std::string_view address, Clock::time_point now) const;

private:
    std::string mac_of(std::string_view address, std::string_view expiry, std::string_view nonce) const;

    std::string key_;
};

// The key every instance on this store signs with: made at random by the first instance to start, read
// by every other. Throws StoreError when the kept key is not a key's length.
std::string result_key(StaffStore& store);

} // namespace lumresults::speedtest
