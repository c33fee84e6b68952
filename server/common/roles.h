// server/common/roles.h: what a member of staff or an API token may do: support, network and admin, as a set.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumresults {

// Each role is one bit, so that the store keeps a set of them in one integer column and a route's roles
// are compared with a principal's in one AND.
enum class Role : std::uint8_t {
    Support = 1, // the search, reports, speed tests, CSV and the reports API
    Network = 2, // the overview and its API
    Admin = 4,   // the audit log and the other administrative pages
};

class Roles {
public:
    constexpr Roles() = default;
    constexpr Roles(Role role) : bits_(static_cast<std::uint8_t>(role)) {} // NOLINT: a role is a set of one
    static constexpr Roles from_bits(std::int64_t bits) { return Roles(static_cast<std::uint8_t>(bits & 7)); }
    static constexpr Roles all() { return Roles(7); }

    constexpr std::uint8_t bits() const { return bits_; }
    constexpr bool empty() const { return bits_ == 0; }
    constexpr bool has(Role role) const { return (bits_ & static_cast<std::uint8_t>(role)) != 0; }
    // True when the two sets share a role: a principal with any of a route's roles may use it.
    constexpr bool meets(Roles other) const { return (bits_ & other.bits_) != 0; }
    constexpr bool operator==(const Roles&) const = default;

private:
    explicit constexpr Roles(std::uint8_t bits) : bits_(bits) {}
    std::uint8_t bits_ = 0;
};

// Roles together: Role::Network | Role::Admin.
constexpr Roles operator|(Roles a, Roles b) { return Roles::from_bits(a.bits() | b.bits()); }
// Two roles alone are no class, so the one above is not asked about them (the language's rule for enums).
constexpr Roles operator|(Role a, Role b) { return Roles(a) | Roles(b); }

inline constexpr std::array EVERY_ROLE{Role::Support, Role::Network, Role::Admin};

// "support", "network", "admin".
std::string_view role_name(Role role);
// The role a name (as the command line and the configuration write it) names, if any.
std::optional<Role> role_named(std::string_view name);
// "support network", in EVERY_ROLE's order; "none" for the empty set.
std::string roles_text(Roles roles);

} // namespace lumresults
