// server/directory/ldap_connection.cpp: libldap's calls for a connection: options, TLS, bind and search, each
// bounded in time, every handle and message freed by its owner.
#include "server/directory/ldap_connection.h"

#include <ldap.h>

#include <cctype>
#include <optional>

namespace lumresults::directory {
namespace {

struct FreeMessage {
    void operator()(LDAPMessage* message) const { ldap_msgfree(message); }
};
using Message = std::unique_ptr<LDAPMessage, FreeMessage>;

struct FreeMemory {
    void operator()(char* text) const { ldap_memfree(text); }
};

struct FreeValues {
    void operator()(berval** values) const { ldap_value_free_len(values); }
};

[[noreturn]] void unavailable(const std::string& doing, int code) {
    throw DirectoryUnavailable(doing + ": " + ldap_err2string(code));
}

void set_option(LDAP* handle, int option, const void* value, const char* what) {
    const int code = ldap_set_option(handle, option, value);
    if (code != LDAP_OPT_SUCCESS) unavailable(std::string("setting ") + what, code);
}

// Bounded waits: connecting (the network timeout) and every synchronous operation after it; referrals are
// not followed, since a referral chased would be bound anonymously, to a server nobody configured.
void set_limits(LDAP* handle, std::chrono::seconds timeout) {
    const int version = LDAP_VERSION3;
    timeval limit{static_cast<time_t>(timeout.count()), 0};
    set_option(handle, LDAP_OPT_PROTOCOL_VERSION, &version, "the protocol version");
    set_option(handle, LDAP_OPT_NETWORK_TIMEOUT, &limit, "the connect timeout");
    set_option(handle, LDAP_OPT_TIMEOUT, &limit, "the operation timeout");
    set_option(handle, LDAP_OPT_REFERRALS, LDAP_OPT_OFF, "referrals");
}

// The directory's certificate is checked, always, against the operator's CA when one is named; the
// options take effect in the connection's own TLS context, made anew after them.
void set_tls(LDAP* handle, const DirectorySettings& settings) {
    const int demand = LDAP_OPT_X_TLS_DEMAND;
    set_option(handle, LDAP_OPT_X_TLS_REQUIRE_CERT, &demand, "certificate checking");
    if (!settings.ca_file.empty())
        set_option(handle, LDAP_OPT_X_TLS_CACERTFILE, settings.ca_file.c_str(), "the CA file");
    const int is_server = 0;
    set_option(handle, LDAP_OPT_X_TLS_NEWCTX, &is_server, "a TLS context");
}

} // namespace

void LdapConnection::Unbind::operator()(ldap* handle) const { ldap_unbind_ext_s(handle, nullptr, nullptr); }

LdapConnection::LdapConnection(const DirectorySettings& settings) : timeout_(settings.timeout) {
    LDAP* opened = nullptr;
    const int code = ldap_initialize(&opened, settings.url.c_str());
    if (code != LDAP_SUCCESS) unavailable("the directory's address " + settings.url, code);
    handle_.reset(opened);
    set_limits(handle_.get(), settings.timeout);
    set_tls(handle_.get(), settings);
    // A password must not cross the network in clear: ldap:// takes StartTLS first unless a lab says not to.
    if (settings.url.starts_with("ldap://") && !settings.insecure) {
        const int started = ldap_start_tls_s(handle_.get(), nullptr, nullptr);
        if (started != LDAP_SUCCESS) unavailable("StartTLS with " + settings.url, started);
    }
}

LdapConnection::~LdapConnection() = default;

bool LdapConnection::bind(const std::string& dn, const std::string& password) {
    berval credentials{static_cast<ber_len_t>(password.size()), const_cast<char*>(password.data())};
    const int code =
        ldap_sasl_bind_s(handle_.get(), dn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, nullptr);
    if (code == LDAP_SUCCESS) return true;
    if (code == LDAP_INVALID_CREDENTIALS) return false;
    unavailable("binding as " + dn, code);
}

std::vector<FoundEntry> LdapConnection::search(const std::string& base, const std::string& filter,
                                               const std::string& attribute, int most) {
    char* attributes[] = {const_cast<char*>(attribute.c_str()), nullptr};
    timeval limit{static_cast<time_t>(timeout_.count()), 0};
    LDAPMessage* raw = nullptr;
    const int code = ldap_search_ext_s(handle_.get(), base.c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(), attributes, 0,
                                       nullptr, nullptr, &limit, most, &raw);
    const Message result(raw);
    if (code == LDAP_SIZELIMIT_EXCEEDED) return {}; // more than one user of a name: nobody signs in as it
    if (code != LDAP_SUCCESS && code != LDAP_NO_SUCH_OBJECT) unavailable("searching " + base, code);
    std::vector<FoundEntry> found;
    for (LDAPMessage* entry = ldap_first_entry(handle_.get(), result.get()); entry != nullptr;
         entry = ldap_next_entry(handle_.get(), entry)) {
        const std::unique_ptr<char, FreeMemory> dn(ldap_get_dn(handle_.get(), entry));
        FoundEntry kept{dn ? dn.get() : "", {}};
        const std::unique_ptr<berval*, FreeValues> values(ldap_get_values_len(handle_.get(), entry, attribute.c_str()));
        for (berval** value = values.get(); value != nullptr && *value != nullptr; ++value)
            kept.values.emplace_back((*value)->bv_val, (*value)->bv_len);
        found.push_back(std::move(kept));
    }
    return found;
}

std::string escaped_filter_value(const std::string& value) {
    berval in{static_cast<ber_len_t>(value.size()), const_cast<char*>(value.data())};
    berval out{0, nullptr};
    if (ldap_bv2escaped_filter_value(&in, &out) != 0) throw std::bad_alloc();
    std::string escaped(out.bv_val, out.bv_len);
    ber_memfree(out.bv_val);
    return escaped;
}

std::optional<std::string> normalised_dn(const std::string& dn) {
    char* raw = nullptr;
    if (ldap_dn_normalize(dn.c_str(), LDAP_DN_FORMAT_LDAPV3, &raw, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS)
        return std::nullopt;
    const std::unique_ptr<char, FreeMemory> kept(raw);
    std::string normal(raw);
    for (char& c : normal)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return normal;
}

} // namespace lumresults::directory
