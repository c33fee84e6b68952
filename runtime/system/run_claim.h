// runtime/system/run_claim.h: one run at a time: a claim on a name that the system frees when its holder ends.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

namespace lum {

// The claim on running under a name, held until the object is destroyed. The system takes it back
// when the holding process ends, a crash included, so that a run that died never blocks the next one.
class RunClaim {
public:
    RunClaim() = default;
    RunClaim(RunClaim&& other) noexcept
        : handle_(std::exchange(other.handle_, NO_HANDLE)), refused_(std::exchange(other.refused_, false)) {}
    RunClaim& operator=(RunClaim&& other) noexcept {
        if (this != &other) {
            release();
            handle_ = std::exchange(other.handle_, NO_HANDLE);
            refused_ = std::exchange(other.refused_, false);
        }
        return *this;
    }
    RunClaim(const RunClaim&) = delete;
    RunClaim& operator=(const RunClaim&) = delete;
    ~RunClaim() { release(); }

    // Someone else holds the name: another process, or another claim of this one.
    bool refused() const { return refused_; }

private:
    static constexpr std::intptr_t NO_HANDLE = -1;

    RunClaim(std::intptr_t handle, bool refused) : handle_(handle), refused_(refused) {}
    void release(); // defined by the backend, which knows what the handle is
    friend RunClaim claim_run(std::string_view name);

    std::intptr_t handle_ = NO_HANDLE; // the OS object whose existence is the claim
    bool refused_ = false;
};

// Claims `name` (letters, digits and dots) for this user's session (Windows) or this network namespace
// (Linux). A claim that the system cannot make at all is not refused: without the means to tell, the
// run goes ahead as it always did.
RunClaim claim_run(std::string_view name);

} // namespace lum
