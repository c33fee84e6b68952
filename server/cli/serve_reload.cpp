// server/cli/serve_reload.cpp: a reload compared setting by setting with what runs, each difference taken or named.
#include "server/cli/serve_reload.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/http/access_log.h"

namespace lumresults {
namespace {

std::string file_text(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in || text.str().empty()) throw std::runtime_error(file.string() + ": cannot read it, or it is empty");
    return text.str();
}

bool same(const std::vector<Cidr>& a, const std::vector<Cidr>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].network != b[i].network || a[i].prefix != b[i].prefix) return false;
    return true;
}

bool same(const std::optional<ListenAddress>& a, const std::optional<ListenAddress>& b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || (a->host == b->host && a->port == b->port);
}

// The senders' lines, their secret files read again: a changed secret needs a restart too.
bool same(const std::vector<radius::RadiusClient>& a, const std::vector<radius::RadiusClient>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.network.network == y.network.network && x.network.prefix == y.network.prefix && x.secret == y.secret;
    });
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

// The settings only a restart takes that differ, by name.
std::vector<std::string> needing_restart(const ServeOptions& now, const ServeOptions& next) {
    std::vector<std::string> names;
    const auto differs = [&](bool differ, const char* name) {
        if (differ) names.emplace_back(name);
    };
    differs(!same(std::optional(now.http.listen), std::optional(next.http.listen)), "listen");
    differs(now.store.data_dir != next.store.data_dir, "data");
    differs(now.store.database != next.store.database, "database");
    differs(now.http.threads != next.http.threads, "threads");
    differs(now.http.workers != next.http.workers, "workers");
    differs(now.http.connection_limit != next.http.connection_limit, "connection-limit");
    differs(now.http.connections_per_address != next.http.connections_per_address, "connections-per-address");
    differs(now.http.connection_timeout_s != next.http.connection_timeout_s, "connection-timeout");
    differs(now.max_upload != next.max_upload, "max-upload");
    differs(now.time_zone != next.time_zone, "time-zone");
    differs(!same(now.tls_listen, next.tls_listen), "tls-listen");
    differs(!same(now.radius_listen, next.radius_listen), "radius-listen");
    differs(!same(now.radius_clients, next.radius_clients), "radius-client");
    differs(now.keep_session_days != next.keep_session_days, "keep-session-days");
    return names;
}

// The networks, taken from the next request on.
std::vector<std::string> take_networks(RunningServer& running, const ServeOptions& next) {
    HttpSettings& now = running.options.http;
    std::vector<std::string> changed;
    if (!same(now.trusted_proxies, next.http.trusted_proxies)) changed.emplace_back("trusted-proxy");
    if (!same(now.staff_networks, next.http.staff_networks)) changed.emplace_back("staff-from");
    if (!same(now.monitoring_networks, next.http.monitoring_networks)) changed.emplace_back("metrics-from");
    if (changed.empty()) return changed;
    now.trusted_proxies = next.http.trusted_proxies;
    now.staff_networks = next.http.staff_networks;
    now.monitoring_networks = next.http.monitoring_networks;
    running.server.replace_networks({now.trusted_proxies, now.monitoring_networks, now.staff_networks});
    return changed;
}

std::vector<std::string> take_retention(RunningServer& running, const ServeOptions& next) {
    ServeOptions& now = running.options;
    std::vector<std::string> changed;
    if (now.keep_days != next.keep_days) changed.emplace_back("keep-days");
    if (now.keep_audit_days != next.keep_audit_days) changed.emplace_back("keep-audit-days");
    if (changed.empty()) return changed;
    now.keep_days = next.keep_days;
    now.keep_audit_days = next.keep_audit_days;
    running.retention.change(now.keep_days, now.keep_audit_days);
    return changed;
}

// The certificate and key, read again whether or not their names changed: a renewal rewrites the same files.
std::vector<std::string> take_identity(RunningServer& running, const ServeOptions& next) {
    if (!running.options.tls_listen || !same(running.options.tls_listen, next.tls_listen)) return {};
    try {
        TlsIdentity identity = tls_identity_of(next);
        if (identity.certificate_pem == running.identity.certificate_pem &&
            identity.key_pem == running.identity.key_pem)
            return {};
        running.server.replace_tls_identity(identity);
        running.identity = std::move(identity);
        running.options.tls_cert = next.tls_cert;
        running.options.tls_key = next.tls_key;
        return {"the certificate and key (new HTTPS connections)"};
    } catch (const std::exception& error) {
        write_log_line(std::string("lumresults: reload: the certificate and key were not taken: ") + error.what());
        return {};
    }
}

} // namespace

TlsIdentity tls_identity_of(const ServeOptions& options) {
    return {file_text(options.tls_cert), file_text(options.tls_key)};
}

void reload(RunningServer& running, const ServeOptions& next) {
    const std::vector<std::string> restart = needing_restart(running.options, next);
    std::vector<std::string> changed = take_networks(running, next);
    for (std::vector<std::string> more : {take_retention(running, next), take_identity(running, next)})
        changed.insert(changed.end(), more.begin(), more.end());
    write_log_line("lumresults: reload: " +
                   (changed.empty() ? std::string("nothing to change") : "changed " + joined(changed)));
    if (!restart.empty())
        write_log_line("lumresults: reload: " + joined(restart) +
                       " changed, which only a restart takes; still running with the old");
}

} // namespace lumresults
