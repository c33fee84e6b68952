// runtime/system/win32/run_claim.cpp: the run's claim as a named mutex, which lives while a handle to it is open.
#include "runtime/system/run_claim.h"

#include <windows.h>

#include <string>

namespace lum {

// The mutex is never locked: its existence is the claim. Its handle is not inheritable, so the tools
// the run starts (and the upload, which outlives it) do not keep the claim after the program ends.
RunClaim claim_run(std::string_view name) {
    const std::string object_name = "Local\\" + std::string(name);
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, object_name.c_str());
    const DWORD error = GetLastError();
    // A run started with other rights (as administrator) made a mutex that this one may not open.
    if (mutex == nullptr) return RunClaim(RunClaim::Kind::none(), error == ERROR_ACCESS_DENIED);
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return RunClaim(RunClaim::Kind::none(), true);
    }
    return RunClaim(reinterpret_cast<std::intptr_t>(mutex), false);
}

void RunClaim::Kind::free(std::intptr_t handle) { CloseHandle(reinterpret_cast<HANDLE>(handle)); }

} // namespace lum
