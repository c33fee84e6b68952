// server/dashboard/sign_in_throttle.cpp: the throttle's rules over counted refusals: holds per caller (an IPv4
// address, an IPv6 /64), a delay per account.
#include "server/dashboard/sign_in_throttle.h"

#include <algorithm>

#include "server/net/ip_address.h"

namespace lumresults::dashboard {
namespace {

using std::chrono::seconds;

// Whole seconds until `until`, at least one: a Retry-After of 0 would invite an immediate retry.
seconds seconds_until(Clock::time_point until, Clock::time_point now) {
    const auto left = std::chrono::ceil<seconds>(until - now);
    return std::max(left, seconds(1));
}

// The wait after an account's latest refusal once it has `refusals` within the window: first_delay at
// refusals_before_delay, doubled with each one more, never past most_delay.
seconds account_delay(std::size_t refusals, const AccountPolicy& policy) {
    const std::size_t doublings = std::min<std::size_t>(refusals - policy.refusals_before_delay, 30);
    return std::min(policy.first_delay * (std::int64_t{1} << doublings), policy.most_delay);
}

} // namespace

std::string throttled_caller(std::string_view address) {
    std::optional<IpAddress> parsed = parse_address(address);
    if (!parsed) return std::string(address);
    if (parsed->is_v4()) return format_address(*parsed);
    std::fill(parsed->bytes.begin() + 8, parsed->bytes.end(), std::uint8_t{0});
    return format_address(*parsed) + "/64";
}

std::optional<SignInHold> sign_in_hold(const RefusedSignIns& refused, Clock::time_point now,
                                       const AccountPolicy& policy) {
    // A hold lasts until its oldest counted refusal leaves the window, which takes the count below the limit.
    if (refused.of_user_here >= policy.refusals_per_user_address && refused.oldest_of_user_here)
        return SignInHold{"account held for this address",
                          seconds_until(*refused.oldest_of_user_here + policy.throttle_window, now)};
    if (refused.from_here >= policy.refusals_per_address && refused.oldest_from_here)
        return SignInHold{"address held", seconds_until(*refused.oldest_from_here + policy.throttle_window, now)};
    // The account's delay slows every caller that has refused the account within the window. One that has
    // not is slowed only while the account is under attack: refused by callers_for_attack callers or more
    // (IPv4 addresses, IPv6 /64s), so that a stranger typing a name wrongly from one place, however often,
    // never slows its owner elsewhere. Under attack the owner waits too, or each fresh caller of an attacker
    // would have a guess at once; each wait ends at most most_delay after the latest refusal, so the account
    // is slowed to a guess a delay, whoever makes it, and never closed.
    if (refused.of_user < policy.refusals_before_delay || !refused.newest_of_user) return std::nullopt;
    if (refused.of_user_here == 0 && refused.callers_of_user < policy.callers_for_attack) return std::nullopt;
    const Clock::time_point not_before = *refused.newest_of_user + account_delay(refused.of_user, policy);
    if (now >= not_before) return std::nullopt;
    return SignInHold{"account slowed", seconds_until(not_before, now)};
}

} // namespace lumresults::dashboard
