// tests/fuzz/fuzz_check.h: how a fuzz target reports a broken property: a message, then a crash libFuzzer keeps.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace lum::fuzz {

// libFuzzer saves the input of any abort as a crash file, so a failed property is kept like a crash.
inline void require(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "property failed: %s\n", property);
    std::abort();
}

} // namespace lum::fuzz
