// server/speedtest/result_token.cpp: the page's token: libsodium's crypto_auth (HMAC-SHA-512-256) over address,
// expiry and a nonce.
#include "server/speedtest/result_token.h"

#include <sodium.h>

#include <array>
#include <charconv>
#include <stdexcept>

#include "server/common/sodium_start.h"

namespace lumresults::speedtest {
namespace {

// Named in what is signed, so that a MAC made with this key for anything else can never pass for a token.
constexpr std::string_view PURPOSE = "speedtest-result";
constexpr std::string_view SECRET_NAME = "speedtest-result-key";
constexpr int BASE64 = sodium_base64_VARIANT_URLSAFE_NO_PADDING;
// Unix seconds to 2286 fit in ten digits; more is no token of ours.
constexpr std::size_t MOST_EXPIRY_DIGITS = 11;
// Makes every token given a different one, even two for one address in the same second.
constexpr std::size_t NONCE_BYTES = 16;

std::int64_t unix_seconds(Clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

// What the MAC is made of. NUL between the parts: neither an address nor the digits hold one, so no two
// triples read alike (the nonce, last, has a length of its own).
std::string signed_text(std::string_view address, std::string_view expiry, std::string_view nonce) {
    std::string message(PURPOSE);
    message.append(1, '\0').append(address).append(1, '\0').append(expiry).append(1, '\0').append(nonce);
    return message;
}

const unsigned char* bytes_of(std::string_view text) { return reinterpret_cast<const unsigned char*>(text.data()); }

std::string_view text_of(const unsigned char* bytes, std::size_t size) {
    return {reinterpret_cast<const char*>(bytes), size};
}

} // namespace

ResultTokens::ResultTokens(std::string key) : key_(std::move(key)) {
    if (key_.size() != crypto_auth_KEYBYTES) throw std::invalid_argument("a result token key has the wrong length");
    ensure_sodium();
}

std::string ResultTokens::mac_of(std::string_view address, std::string_view expiry, std::string_view nonce) const {
    const std::string message = signed_text(address, expiry, nonce);
    std::array<unsigned char, crypto_auth_BYTES> mac{};
    crypto_auth(mac.data(), bytes_of(message), message.size(), bytes_of(key_));
    return std::string(text_of(mac.data(), mac.size()));
}

std::string ResultTokens::issue(std::string_view address, Clock::time_point now) const {
    const std::string expiry = std::to_string(unix_seconds(now + LIFETIME));
    std::string nonce(NONCE_BYTES, '\0');
    randombytes_buf(nonce.data(), nonce.size());
    const std::string tail = nonce + mac_of(address, expiry, nonce);
    std::string text(sodium_base64_ENCODED_LEN(tail.size(), BASE64), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes_of(tail), tail.size(), BASE64);
    text.resize(text.find('\0'));
    return expiry + "." + text;
}

CheckedToken ResultTokens::check(std::string_view token, std::string_view address, Clock::time_point now) const {
    const std::size_t dot = token.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot > MOST_EXPIRY_DIGITS) return {};
    const std::string_view expiry = token.substr(0, dot);
    std::int64_t expires = 0;
    const auto [end, error] = std::from_chars(expiry.data(), expiry.data() + expiry.size(), expires);
    if (error != std::errc() || end != expiry.data() + expiry.size()) return {};
    const std::string_view text = token.substr(dot + 1);
    std::array<unsigned char, NONCE_BYTES + crypto_auth_BYTES> tail{};
    std::size_t length = 0;
    if (sodium_base642bin(tail.data(), tail.size(), text.data(), text.size(), nullptr, &length, nullptr, BASE64) != 0 ||
        length != tail.size())
        return {};
    // crypto_auth_verify compares in constant time.
    const unsigned char* mac = tail.data() + NONCE_BYTES;
    const std::string message = signed_text(address, expiry, text_of(tail.data(), NONCE_BYTES));
    if (crypto_auth_verify(mac, bytes_of(message), message.size(), bytes_of(key_)) != 0) return {};
    if (unix_seconds(now) >= expires) return {TokenCheck::expired, {}};
    // Only now is the expiry known to be one this server wrote, and small enough for the clock.
    return {TokenCheck::good,
            {std::string(text_of(mac, crypto_auth_BYTES)), Clock::time_point(std::chrono::seconds(expires))}};
}

std::string result_key(StaffStore& store) {
    ensure_sodium();
    std::string candidate(crypto_auth_KEYBYTES, '\0');
    crypto_auth_keygen(reinterpret_cast<unsigned char*>(candidate.data()));
    std::string key = store.shared_secret(SECRET_NAME, candidate);
    sodium_memzero(candidate.data(), candidate.size());
    if (key.size() != crypto_auth_KEYBYTES) throw StoreError("the speed test's result key in the store is damaged");
    return key;
}

} // namespace lumresults::speedtest
