// server/dashboard/accounts.h: who may read reports: staff passwords, sessions, sign-in throttling, API tokens.
//
// Everything two instances must agree on (sessions, refused sign-ins, tokens) is kept in the store, so
// any instance behind a load balancer answers the same.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "server/directory/directory.h"
#include "server/http/request.h"
#include "server/http/routes.h"
#include "server/store/store.h"

namespace lumresults::dashboard {

// The session cookie's name.
inline constexpr std::string_view SESSION_COOKIE = "lumresults_session";
// Where a request without a session is sent.
inline constexpr std::string_view SIGN_IN_PATH = "/support/sign-in";

// The longest staff name there is (the account commands refuse longer ones): a longer name typed at sign-in
// is no account, and is kept (throttled, audited) only as its first bytes and an ellipsis.
inline constexpr std::size_t MOST_USER_NAME_BYTES = 64;

// Refusals hold a caller (an IPv4 address, an IPv6 /64), never an account: a stranger who types a staff
// name wrongly again and again must not keep that member of staff out. Against guessing from many callers,
// an account's refusals from anywhere slow down every caller that has refused it, and every caller at all
// once callers_for_attack callers have, each wait at most most_delay (see sign_in_hold).
struct AccountPolicy {
    std::chrono::seconds idle_expiry{30 * 60};           // a session unused this long is over
    std::chrono::seconds session_lifetime{12 * 60 * 60}; // and any session after this long
    std::chrono::seconds throttle_window{15 * 60};       // refused sign-ins counted over this span
    std::size_t refusals_per_user_address = 5;           // of one account from one caller: that pair is held
    std::size_t refusals_per_address = 20;               // from one caller, any name: that caller is held
    std::size_t refusals_before_delay = 5;               // of one account from anywhere: then the delay below
    std::size_t callers_for_attack = 3;                  // that many callers of them: the delay holds everyone
    std::chrono::seconds first_delay{1};                 // after that account's latest refusal, doubled
    std::chrono::seconds most_delay{60};                 // with each further one, up to this
    // The operator's directory, when one is configured: a name no local account has is looked for there,
    // and its sessions are checked again every directory->settings().recheck. It must outlive the server.
    const directory::Directory* directory = nullptr;
};

// argon2id, in libsodium's encoded form (salt and parameters included). Throws std::runtime_error when
// the hashing cannot get its memory.
std::string hash_password(std::string_view password);
bool password_matches(std::string_view password_hash, std::string_view password);

// 32 random bytes as 64 hex digits: session cookies, CSRF tokens and API tokens.
std::string random_token();
// Whether text has the form random_token() gives (64 lower-case hex digits): anything else is refused
// before the store is asked.
bool is_token_text(std::string_view text);
// What the store keeps of a session cookie or an API token: its hex SHA-256.
std::string token_key(std::string_view token);

// DirectoryUnavailable: the name is no local account and the directory could not be asked; the attempt
// is not counted against the caller (it was never checked).
enum class SignInOutcome { SignedIn, Refused, Throttled, DirectoryUnavailable };

struct SignInResult {
    SignInOutcome outcome = SignInOutcome::Refused;
    std::chrono::seconds retry_after{0}; // Throttled: how long until a sign-in may be tried again
    std::string cookie_value;            // SignedIn: the new session's cookie value (a new one at every sign-in)
    Principal principal;                 // SignedIn: who, and the session's CSRF token
};

// Checks the password (as long for an unknown user as for a known one), throttles as AccountPolicy says
// (a throttled attempt is answered from the store alone, without hashing; one let through has its place
// among the refusals before its password is checked), starts a new session and writes the audit log, where
// repeated refusals from one address within the window share a line.
SignInResult sign_in(StaffStore& store, std::string_view user, std::string_view password, std::string_view address,
                     Clock::time_point now, const AccountPolicy& policy = {});

// The session a cookie names, if it is still live (it is marked as seen now). A directory user's session
// whose roles were confirmed longer than the recheck ago asks the directory again: no longer in a mapped
// group (or gone), the session ends; the directory unavailable, it keeps its roles until the next recheck.
std::optional<Principal> session_of(StaffStore& store, std::string_view cookie_value, Clock::time_point now,
                                    const AccountPolicy& policy = {});

void sign_out(StaffStore& store, const Principal& principal, std::string_view address, Clock::time_point now);

// A form's CSRF token, compared in constant time with the session's.
bool csrf_matches(const Principal& principal, std::string_view given);

// Set-Cookie values: the session's (HttpOnly, SameSite=Strict, Path=/support/, Secure over TLS), and
// one that ends it.
std::string session_cookie(std::string_view cookie_value, bool secure);
std::string ended_session_cookie(bool secure);

// The value of a cookie in a Cookie header, if there.
std::optional<std::string> cookie_value(std::string_view cookie_header, std::string_view name);

// The server's gate: Staff routes need a live session (a GET without one is sent to sign in with the
// page to come back to; anything else gets 401), Token routes a known bearer token (401 otherwise).
Gate make_gate(StaffStore& store, AccountPolicy policy = {});

} // namespace lumresults::dashboard
