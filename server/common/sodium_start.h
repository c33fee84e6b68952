// server/common/sodium_start.h: libsodium started once, before the first call into it.
#pragma once

namespace lumresults {

// Starts libsodium the first time it is called, from whichever thread; throws std::runtime_error when it
// cannot start (no random source), since nothing that needs it may then go on.
void ensure_sodium();

} // namespace lumresults
