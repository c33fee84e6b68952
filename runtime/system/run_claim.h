// runtime/system/run_claim.h: one run at a time: a claim on a name that the system frees when its holder ends.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/common/unique_resource.h"

namespace lum {

// The claim on running under a name, held until the object is destroyed. The system takes it back
// when the holding process ends, a crash included, so that a run that died never blocks the next one.
class RunClaim {
public:
    RunClaim() = default;

    // Someone else holds the name: another process, or another claim of this one.
    bool refused() const { return refused_; }

private:
    // The OS object whose existence is the claim, as a number; its backend frees it.
    struct Kind {
        using Native = std::intptr_t;
        static constexpr std::intptr_t none() { return -1; }
        static bool holds(std::intptr_t handle) { return handle != none(); }
        static void free(std::intptr_t handle);
    };

    RunClaim(std::intptr_t handle, bool refused) : handle_(handle), refused_(refused) {}
    friend RunClaim claim_run(std::string_view name);

    UniqueResource<Kind> handle_;
    bool refused_ = false;
};

// Claims `name` (letters, digits and dots) for this user's session (Windows) or this network namespace
// (Linux). A claim that the system cannot make at all is not refused: without the means to tell, the
// run goes ahead as it always did.
RunClaim claim_run(std::string_view name);

} // namespace lum
