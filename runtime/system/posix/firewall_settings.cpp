// runtime/system/posix/firewall_settings.cpp: no firewall switch of the kind the Windows run turns off.
#include "runtime/system/firewall_settings.h"

namespace lum {
namespace {

// The firewall command has no counterpart here, so there is never anything to put back.
class NoFirewallSettings final : public FirewallSettings {
public:
    std::optional<bool> is_on(FirewallProfile) override { return std::nullopt; }
    bool switch_on(FirewallProfile) override { return false; }
};

} // namespace

std::unique_ptr<FirewallSettings> system_firewall_settings() { return std::make_unique<NoFirewallSettings>(); }

} // namespace lum
