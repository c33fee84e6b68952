// runtime/system/win32/firewall_settings.cpp: the firewall's switches through its COM interface, per profile.
#include <windows.h>

#include <netfw.h>
#include <objbase.h>

#include "runtime/common/unique_resource.h"
#include "runtime/system/firewall_settings.h"

namespace lum {
namespace {

struct PolicyKind {
    using Native = INetFwPolicy2*;
    static constexpr INetFwPolicy2* none() { return nullptr; }
    static bool holds(INetFwPolicy2* policy) { return policy != nullptr; }
    static void free(INetFwPolicy2* policy) { policy->Release(); }
};

NET_FW_PROFILE_TYPE2 profile_type(FirewallProfile profile) {
    switch (profile) {
    case FirewallProfile::Domain: return NET_FW_PROFILE2_DOMAIN;
    case FirewallProfile::Private: return NET_FW_PROFILE2_PRIVATE;
    case FirewallProfile::Public: break;
    }
    return NET_FW_PROFILE2_PUBLIC;
}

// The interface answers in numbers whatever the system's language, unlike the firewall command's text.
// Without it (an old system, a firewall service that is stopped, a policy that forbids the question)
// nothing can be read and nothing is switched.
class ComFirewallSettings final : public FirewallSettings {
public:
    explicit ComFirewallSettings(INetFwPolicy2* policy) : policy_(policy) {}

    std::optional<bool> is_on(FirewallProfile profile) override {
        VARIANT_BOOL enabled = VARIANT_FALSE;
        if (!policy_ || FAILED(policy_.get()->get_FirewallEnabled(profile_type(profile), &enabled)))
            return std::nullopt;
        return enabled != VARIANT_FALSE;
    }

    bool switch_on(FirewallProfile profile) override {
        return policy_ && SUCCEEDED(policy_.get()->put_FirewallEnabled(profile_type(profile), VARIANT_TRUE));
    }

private:
    UniqueResource<PolicyKind> policy_;
};

} // namespace

std::unique_ptr<FirewallSettings> system_firewall_settings() {
    INetFwPolicy2* policy = nullptr;
    if (FAILED(CoCreateInstance(__uuidof(NetFwPolicy2), nullptr, CLSCTX_INPROC_SERVER, __uuidof(INetFwPolicy2),
                                reinterpret_cast<void**>(&policy)))) {
        policy = nullptr;
    }
    return std::make_unique<ComFirewallSettings>(policy);
}

} // namespace lum
