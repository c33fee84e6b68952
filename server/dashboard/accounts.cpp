// server/dashboard/accounts.cpp: staff passwords (argon2id), sessions, sign-in throttling and the audit of them.
#include "server/dashboard/accounts.h"

#include <sodium.h>

#include <semaphore>
#include <stdexcept>

#include "server/common/sha256.h"
#include "server/common/sodium_start.h"
#include "server/dashboard/sign_in_throttle.h"
#include "server/http/access_log.h"

namespace lumresults::dashboard {
namespace {

using std::chrono::minutes;

// libsodium's interactive cost (2 passes over 64 MiB, about a tenth of a second) rather than the moderate
// one (256 MiB): a burst of concurrent sign-ins, the throttle's allowance from many addresses, must not be
// able to take gigabytes of memory. The cost is kept in each hash, so it can be raised later without
// invalidating stored passwords.
constexpr unsigned long long HASH_PASSES = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr std::size_t HASH_MEMORY = crypto_pwhash_MEMLIMIT_INTERACTIVE;

// At most this many hashes at once, whatever the number of workers: 128 MiB, and a core left for the rest.
constexpr std::ptrdiff_t CONCURRENT_HASHES = 2;

class HashingSlot {
public:
    HashingSlot() { slots().acquire(); }
    ~HashingSlot() { slots().release(); }
    HashingSlot(const HashingSlot&) = delete;
    HashingSlot& operator=(const HashingSlot&) = delete;

private:
    static std::counting_semaphore<CONCURRENT_HASHES>& slots() {
        static std::counting_semaphore<CONCURRENT_HASHES> free_slots(CONCURRENT_HASHES);
        return free_slots;
    }
};

// A session's last use is written at most this often: a busy page would otherwise write on every request.
constexpr minutes TOUCH_INTERVAL{1};

// Verified against for an unknown user, so that a refusal takes as long whether or not the name exists.
const std::string& dummy_hash() {
    static const std::string hash = hash_password(random_token());
    return hash;
}

void audit(StaffStore& store, Clock::time_point now, std::string_view user, std::string_view address,
           std::string_view action, std::string_view detail = {}) {
    store.append_audit({now, std::string(user), std::string(address), std::string(action), std::string(detail)});
}

// Anonymous refusals from one address within the window share a line: a flood costs the log one line.
void audit_repeat(StaffStore& store, Clock::time_point now, std::string_view user, std::string_view address,
                  std::string_view action, std::string_view detail, const AccountPolicy& policy) {
    store.repeat_audit({now, std::string(user), std::string(address), std::string(action), std::string(detail)},
                       now - policy.throttle_window);
}

// Who a name and password are: a local account, a directory user, or nobody; or that the directory, which
// would have to say, cannot.
struct Credentials {
    std::optional<StaffUser> staff;           // the account, or the directory user with the roles their groups give
    std::optional<Clock::time_point> checked; // a directory user's: when the directory confirmed them
    std::string unavailable;                  // why the directory could not be asked
};

// A local account is checked first, with the same work done whether or not the name exists; a name no
// account has is the directory's, when there is one.
Credentials checked_user(StaffStore& store, std::string_view user, std::string_view password, Clock::time_point now,
                         const AccountPolicy& policy) {
    std::optional<StaffUser> found = store.find_user(user);
    if (!found && policy.directory) {
        const directory::DirectoryAnswer answer = policy.directory->sign_in(user, password);
        if (answer.outcome == directory::DirectoryOutcome::Unavailable)
            return {std::nullopt, std::nullopt, answer.reason};
        if (answer.outcome != directory::DirectoryOutcome::Member) return {};
        return {StaffUser{std::string(user), {}, answer.roles}, now, {}};
    }
    const bool matches = password_matches(found ? found->password_hash : dummy_hash(), password);
    if (!found || !matches) return {};
    return {std::move(found), std::nullopt, {}};
}

// A directory user's session confirmed again, or ended; nothing when it has ended.
std::optional<Roles> rechecked(StaffStore& store, const StaffSession& session, Clock::time_point now,
                               const AccountPolicy& policy) {
    // With the directory taken out of the configuration, nothing can confirm its users any more.
    if (!policy.directory) {
        store.delete_session(session.key);
        return std::nullopt;
    }
    if (now - *session.checked < policy.directory->settings().recheck) return session.roles;
    const directory::DirectoryAnswer answer = policy.directory->roles_of(session.user);
    if (answer.outcome == directory::DirectoryOutcome::Unavailable) {
        // Kept as it was until the next recheck: the session's lifetime still bounds it.
        write_log_line("lumresults: directory: " + answer.reason + "; " + session.user + " keeps the roles they had");
        store.recheck_session(session.key, session.roles, now);
        return session.roles;
    }
    if (answer.outcome != directory::DirectoryOutcome::Member) {
        store.delete_session(session.key);
        audit(store, now, session.user, {}, "session ended", "the directory: " + answer.reason);
        return std::nullopt;
    }
    store.recheck_session(session.key, answer.roles, now);
    return answer.roles;
}

} // namespace

std::string hash_password(std::string_view password) {
    ensure_sodium();
    char hash[crypto_pwhash_STRBYTES];
    const HashingSlot slot;
    if (crypto_pwhash_str_alg(hash, password.data(), password.size(), HASH_PASSES, HASH_MEMORY,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw std::runtime_error("not enough memory to hash a password");
    return hash;
}

bool password_matches(std::string_view password_hash, std::string_view password) {
    ensure_sodium();
    if (password_hash.size() >= crypto_pwhash_STRBYTES) return false;
    const std::string terminated(password_hash); // the encoded hash is read up to its NUL
    const HashingSlot slot;
    return crypto_pwhash_str_verify(terminated.c_str(), password.data(), password.size()) == 0;
}

std::string random_token() {
    ensure_sodium();
    unsigned char bytes[32];
    randombytes_buf(bytes, sizeof bytes);
    char hex[2 * sizeof bytes + 1];
    sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
    sodium_memzero(bytes, sizeof bytes);
    return hex;
}

bool is_token_text(std::string_view text) {
    if (text.size() != 64) return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

std::string token_key(std::string_view token) {
    Sha256 digest;
    digest.update(token);
    return digest.finish_hex();
}

SignInResult sign_in(StaffStore& store, std::string_view typed_user, std::string_view password,
                     std::string_view address, Clock::time_point now, const AccountPolicy& policy) {
    // Anyone may type any name: what is kept of one that no account can have is bounded.
    const bool no_account = typed_user.size() > MOST_USER_NAME_BYTES;
    const std::string kept =
        no_account ? std::string(typed_user.substr(0, MOST_USER_NAME_BYTES)) + "\xE2\x80\xA6" : std::string(typed_user);
    const std::string_view user = kept;
    SignInResult result;
    // Decided before any hashing: a held caller costs the server a few statements, never argon2's memory.
    // The store keeps milliseconds: a refusal made exactly a window ago has left it, as the hold's
    // Retry-After (its oldest refusal plus the window) told the caller.
    const Clock::time_point window_start = now - policy.throttle_window + std::chrono::milliseconds(1);
    const SignInAttempt attempt{std::string(user), throttled_caller(address), std::string(address), now,
                                random_token()};
    std::optional<SignInHold> hold;
    // Decided and, if let through, counted as a refusal in one step of the store's: attempts made at once
    // (by other workers, other instances) each count the ones before them, so none passes a limit.
    store.take_sign_in_place(attempt, window_start, [&](const RefusedSignIns& refused) {
        hold = sign_in_hold(refused, now, policy);
        return !hold;
    });
    if (hold) {
        audit_repeat(store, now, user, address, "sign-in throttled", hold->reason, policy);
        result.outcome = SignInOutcome::Throttled;
        result.retry_after = hold->retry_after;
        return result;
    }
    // Should the check fail (no memory to hash), the place stays a refusal: failing closed.
    const Credentials credentials = no_account ? Credentials{} : checked_user(store, user, password, now, policy);
    if (!credentials.unavailable.empty()) {
        // Nobody checked the password: not a refusal to count against the caller, but said in the server's
        // log (for the operator to act on) and the audit log.
        store.give_back_sign_in_place(attempt);
        write_log_line("lumresults: directory: " + credentials.unavailable + "; its users cannot sign in");
        audit(store, now, user, address, "sign-in failed", "the directory: " + credentials.unavailable);
        result.outcome = SignInOutcome::DirectoryUnavailable;
        return result;
    }
    const std::optional<StaffUser>& staff = credentials.staff;
    if (!staff) {
        audit_repeat(store, now, user, address, "sign-in refused", {}, policy);
        return result;
    }
    store.give_back_sign_in_place(attempt);
    // A new session every time, never one the browser already had, so a session id planted before
    // sign-in is worth nothing after it.
    result.cookie_value = random_token();
    const StaffSession session{
        token_key(result.cookie_value), staff->name, random_token(), now, now, staff->roles, credentials.checked};
    store.put_session(session);
    audit(store, now, staff->name, address, "sign-in");
    result.outcome = SignInOutcome::SignedIn;
    result.principal = {session.user, session.key, session.csrf, session.roles};
    return result;
}

std::optional<Principal> session_of(StaffStore& store, std::string_view cookie_value, Clock::time_point now,
                                    const AccountPolicy& policy) {
    if (!is_token_text(cookie_value)) return std::nullopt;
    const std::string key = token_key(cookie_value);
    const std::optional<StaffSession> session = store.find_session(key);
    if (!session) return std::nullopt;
    if (now - session->last_seen >= policy.idle_expiry || now - session->created >= policy.session_lifetime) {
        store.delete_session(key);
        return std::nullopt;
    }
    std::optional<Roles> roles = session->roles;
    if (session->checked) roles = rechecked(store, *session, now, policy);
    if (!roles) return std::nullopt;
    if (now - session->last_seen >= TOUCH_INTERVAL) store.touch_session(key, now);
    return Principal{session->user, key, session->csrf, *roles};
}

void sign_out(StaffStore& store, const Principal& principal, std::string_view address, Clock::time_point now) {
    store.delete_session(principal.session_key);
    audit(store, now, principal.name, address, "sign-out");
}

bool csrf_matches(const Principal& principal, std::string_view given) {
    const std::string& expected = principal.csrf;
    if (expected.empty() || given.size() != expected.size()) return false;
    return sodium_memcmp(expected.data(), given.data(), expected.size()) == 0;
}

std::string session_cookie(std::string_view cookie_value, bool secure) {
    return std::string(SESSION_COOKIE) + "=" + std::string(cookie_value) +
           "; Path=/support/; HttpOnly; SameSite=Strict" + (secure ? "; Secure" : "");
}

std::string ended_session_cookie(bool secure) {
    return std::string(SESSION_COOKIE) + "=; Path=/support/; Max-Age=0; HttpOnly; SameSite=Strict" +
           (secure ? "; Secure" : "");
}

std::optional<std::string> cookie_value(std::string_view cookie_header, std::string_view name) {
    while (!cookie_header.empty()) {
        const std::size_t end = cookie_header.find(';');
        std::string_view pair = cookie_header.substr(0, end);
        cookie_header = end == std::string_view::npos ? std::string_view{} : cookie_header.substr(end + 1);
        while (!pair.empty() && (pair.front() == ' ' || pair.front() == '\t'))
            pair.remove_prefix(1);
        while (!pair.empty() && (pair.back() == ' ' || pair.back() == '\t'))
            pair.remove_suffix(1);
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == name)
            return std::string(pair.substr(equals + 1));
    }
    return std::nullopt;
}

} // namespace lumresults::dashboard
