// server/common/sodium_start.cpp: libsodium's sodium_init() called once for the whole process.
#include "server/common/sodium_start.h"

#include <sodium.h>

#include <stdexcept>

namespace lumresults {

void ensure_sodium() {
    // A function-local static: the first caller starts it, any others at that moment wait for the answer.
    static const bool ready = sodium_init() >= 0;
    if (!ready) throw std::runtime_error("libsodium cannot start");
}

} // namespace lumresults
