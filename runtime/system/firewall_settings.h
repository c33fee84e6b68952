// runtime/system/firewall_settings.h: whether the system's firewall is on, per profile, and switching it back on.
#pragma once

#include <array>
#include <memory>
#include <optional>

namespace lum {

// Windows keeps one firewall switch per kind of network the computer may be on.
enum class FirewallProfile { Domain, Private, Public };
inline constexpr std::array<FirewallProfile, 3> FIREWALL_PROFILES = {FirewallProfile::Domain, FirewallProfile::Private,
                                                                     FirewallProfile::Public};

// The firewall's settings as the system's own interface gives them: numbers, never translated text.
class FirewallSettings {
public:
    virtual ~FirewallSettings() = default;

    // Whether the profile's firewall is on; nothing when the interface is missing or refuses to say.
    virtual std::optional<bool> is_on(FirewallProfile profile) = 0;

    // Switches the profile's firewall on; false when the interface is missing or refuses.
    virtual bool switch_on(FirewallProfile profile) = 0;
};

// This computer's settings. Windows: the firewall's COM interface, on the thread that started the
// window layer (which starts COM). POSIX: nothing to read and nothing to switch.
std::unique_ptr<FirewallSettings> system_firewall_settings();

} // namespace lum
