// server/dashboard/sign_in_throttle.h: whether a sign-in may be tried now, from the refusals the store counted.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "server/dashboard/accounts.h"
#include "server/store/store.h"

namespace lumresults::dashboard {

// Whom the throttle counts an address as (SignInAttempt::caller): an IPv4 address as itself, written as
// IPv4-mapped IPv6 too; an IPv6 address as its /64 ("2001:db8:1:2::/64"), as the connection limit counts
// callers, since one subscriber's line usually holds a whole /64. Text that is no address stays itself.
std::string throttled_caller(std::string_view address);

// Why a sign-in is not tried now, and how long until it may be.
struct SignInHold {
    std::string_view reason; // "account held for this address", "address held" or "account slowed"
    std::chrono::seconds retry_after;
};

// Nothing when a sign-in may be tried at `now`, given the refusals within the policy's window. Answered
// without waiting: a delay is told to the caller, never slept out on a server thread.
std::optional<SignInHold> sign_in_hold(const RefusedSignIns& refused, Clock::time_point now,
                                       const AccountPolicy& policy);

} // namespace lumresults::dashboard
