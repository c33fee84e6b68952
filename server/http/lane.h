// server/http/lane.h: which queue of the workers a route's slow work waits in.
#pragma once

namespace lumresults {

// Anonymous sign-ins hash a password for anyone who asks, so they wait in a lane of their own, with its own
// thread and a bounded queue: a flood of them never delays an upload, the API or a member of staff signed in,
// and past what the lane holds they are refused at once rather than queued.
enum class Lane {
    Work,   // uploads, staff pages, the API: everything else that waits for the store
    SignIn, // anonymous sign-ins
};

} // namespace lumresults
