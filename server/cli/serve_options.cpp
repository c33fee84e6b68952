// server/cli/serve_options.cpp: `serve`'s settings, each checked as it is taken, wherever it was written.
#include "server/cli/serve_options.h"

#include <cerrno>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <system_error>

#include "server/common/whole_number.h"
#include "server/net/ip_address.h"

namespace lumresults {
namespace {

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r") - first + 1));
}

template <typename Number> Number number(const std::string& value, Number least) {
    const std::optional<Number> parsed = whole_number<Number>(value, least);
    if (!parsed) throw SettingError("not a whole number of at least " + std::to_string(least) + ": " + value);
    return *parsed;
}

Cidr network(const std::string& value) {
    const std::optional<Cidr> cidr = parse_cidr(value);
    if (!cidr) throw SettingError("not an address or ADDR/BITS: " + value);
    return *cidr;
}

ListenAddress listen_address(const std::string& value) {
    const std::optional<ListenAddress> listen = parse_listen_address(value);
    if (!listen) throw SettingError("expected ADDR:PORT with a numeric address: " + value);
    return *listen;
}

bool yes_or_no(const std::string& value) {
    if (value == "yes") return true;
    if (value == "no") return false;
    throw SettingError("expected yes or no: " + value);
}

// The first line of a file only root reads: a password kept out of the configuration and the command line.
std::string password_in(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) throw SettingError("cannot read a password from " + file);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) throw SettingError(file + " holds an empty password");
    return line;
}

// "GROUP-DN ROLE": the role is the last word, since a DN may hold spaces.
directory::GroupRole group_role(const std::string& value) {
    const auto space = value.find_last_of(' ');
    const std::optional<Role> role = space == std::string::npos ? std::nullopt : role_named(value.substr(space + 1));
    if (!role) throw SettingError("expected GROUP-DN ROLE (support, network or admin): " + value);
    return {trimmed(std::string_view(value).substr(0, space)), *role};
}

radius::RadiusClient radius_client(const std::string& value) {
    try {
        return radius::radius_client_of(value);
    } catch (const std::runtime_error& error) {
        throw SettingError(error.what());
    }
}

using Take = std::function<void(ServeOptions&, const std::string&)>;

// Every setting by its name. The lists (networks) take one value a line and add it to the list.
const std::map<std::string, Take, std::less<>>& takers() {
    static const std::map<std::string, Take, std::less<>> table{
        {"listen", [](ServeOptions& o, const std::string& v) { o.http.listen = listen_address(v); }},
        {"data", [](ServeOptions& o, const std::string& v) { o.store.data_dir = v; }},
        {"database", [](ServeOptions& o, const std::string& v) { o.store.database = v; }},
        {"trusted-proxy", [](ServeOptions& o, const std::string& v) { o.http.trusted_proxies.push_back(network(v)); }},
        {"metrics-from",
         [](ServeOptions& o, const std::string& v) { o.http.monitoring_networks.push_back(network(v)); }},
        {"staff-from", [](ServeOptions& o, const std::string& v) { o.http.staff_networks.push_back(network(v)); }},
        {"max-upload", [](ServeOptions& o, const std::string& v) { o.max_upload = number<std::uint64_t>(v, 1); }},
        {"threads", [](ServeOptions& o, const std::string& v) { o.http.threads = number<unsigned>(v, 1); }},
        {"workers", [](ServeOptions& o, const std::string& v) { o.http.workers = number<unsigned>(v, 1); }},
        {"connection-limit",
         [](ServeOptions& o, const std::string& v) { o.http.connection_limit = number<unsigned>(v, 1); }},
        {"connections-per-address",
         [](ServeOptions& o, const std::string& v) { o.http.connections_per_address = number<unsigned>(v, 1); }},
        {"connection-timeout",
         [](ServeOptions& o, const std::string& v) { o.http.connection_timeout_s = number<unsigned>(v, 1); }},
        {"keep-days", [](ServeOptions& o, const std::string& v) { o.keep_days = number<unsigned>(v, 0); }},
        {"keep-audit-days", [](ServeOptions& o, const std::string& v) { o.keep_audit_days = number<unsigned>(v, 0); }},
        {"time-zone", [](ServeOptions& o, const std::string& v) { o.time_zone = v; }},
        {"tls-listen", [](ServeOptions& o, const std::string& v) { o.tls_listen = listen_address(v); }},
        {"tls-cert", [](ServeOptions& o, const std::string& v) { o.tls_cert = v; }},
        {"tls-key", [](ServeOptions& o, const std::string& v) { o.tls_key = v; }},
        {"ldap-url", [](ServeOptions& o, const std::string& v) { o.directory.url = v; }},
        {"ldap-ca-file", [](ServeOptions& o, const std::string& v) { o.directory.ca_file = v; }},
        {"ldap-insecure", [](ServeOptions& o, const std::string& v) { o.directory.insecure = yes_or_no(v); }},
        {"ldap-bind-dn", [](ServeOptions& o, const std::string& v) { o.directory.bind_dn = v; }},
        {"ldap-bind-password-file",
         [](ServeOptions& o, const std::string& v) { o.directory.bind_password = password_in(v); }},
        {"ldap-base", [](ServeOptions& o, const std::string& v) { o.directory.base = v; }},
        {"ldap-user-filter", [](ServeOptions& o, const std::string& v) { o.directory.user_filter = v; }},
        {"ldap-role", [](ServeOptions& o, const std::string& v) { o.directory.roles.push_back(group_role(v)); }},
        {"ldap-timeout",
         [](ServeOptions& o, const std::string& v) {
             o.directory.timeout = std::chrono::seconds(number<unsigned>(v, 1));
         }},
        {"ldap-recheck",
         [](ServeOptions& o, const std::string& v) {
             o.directory.recheck = std::chrono::seconds(number<unsigned>(v, 1));
         }},
        {"radius-listen", [](ServeOptions& o, const std::string& v) { o.radius_listen = listen_address(v); }},
        {"radius-client", [](ServeOptions& o, const std::string& v) { o.radius_clients.push_back(radius_client(v)); }},
        {"radius-client-rate",
         [](ServeOptions& o, const std::string& v) { o.radius_client_rate = number<unsigned>(v, 1); }},
        {"keep-session-days",
         [](ServeOptions& o, const std::string& v) { o.keep_session_days = number<unsigned>(v, 0); }},
    };
    return table;
}

// "FILE:LINE: reason", or "--name: reason" for the command line's.
std::string placed(const Setting& setting, const std::string& reason) {
    return (setting.where.empty() ? "--" + setting.name : setting.where) + ": " + reason;
}

void take(ServeOptions& options, const Setting& setting) {
    const auto taker = takers().find(setting.name);
    if (taker == takers().end())
        throw SettingError(setting.where.empty() ? "serve: unknown option --" + setting.name
                                                 : placed(setting, "unknown setting " + setting.name));
    if (setting.value.empty()) throw SettingError(placed(setting, "needs a value"));
    try {
        taker->second(options, setting.value);
    } catch (const SettingError& error) {
        throw SettingError(placed(setting, error.what()));
    }
}

// A directory is all there or not at all: half a configuration would refuse every directory user silently.
void check_directory(const directory::DirectorySettings& settings) {
    if (!settings.configured()) return;
    if (!settings.url.starts_with("ldap://") && !settings.url.starts_with("ldaps://"))
        throw SettingError("ldap-url must start ldaps:// or ldap://: " + settings.url);
    if (settings.bind_dn.empty() || settings.bind_password.empty() || settings.base.empty())
        throw SettingError("a directory needs ldap-bind-dn, ldap-bind-password-file and ldap-base");
    if (settings.user_filter.find("{user}") == std::string::npos)
        throw SettingError("ldap-user-filter must hold {user}: " + settings.user_filter);
    if (settings.roles.empty()) throw SettingError("a directory needs at least one ldap-role = GROUP-DN ROLE");
}

} // namespace

std::vector<Setting> read_config_file(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) throw SettingError(file.string() + ": cannot read: " + std::generic_category().message(errno));
    std::vector<Setting> settings;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string text = trimmed(line);
        if (text.empty() || text.front() == '#') continue;
        const std::string where = file.string() + ":" + std::to_string(number);
        const auto equals = text.find('=');
        if (equals == std::string::npos) throw SettingError(where + ": expected name = value: " + text);
        const std::string name = trimmed(std::string_view(text).substr(0, equals));
        if (name == "config") throw SettingError(where + ": a configuration file cannot name another");
        settings.push_back({name, trimmed(std::string_view(text).substr(equals + 1)), where});
    }
    if (in.bad()) throw SettingError(file.string() + ": cannot read: " + std::generic_category().message(errno));
    return settings;
}

ServeOptions serve_options_of(const ServeCommand& command) {
    std::vector<Setting> settings;
    std::set<std::string, std::less<>> named;
    for (const Setting& setting : command.command_line)
        named.insert(setting.name);
    if (command.config)
        for (Setting& setting : read_config_file(*command.config))
            if (!named.contains(setting.name)) settings.push_back(std::move(setting));
    settings.insert(settings.end(), command.command_line.begin(), command.command_line.end());

    ServeOptions options;
    bool listen_named = false;
    bool metrics_named = false;
    for (const Setting& setting : settings) {
        take(options, setting);
        listen_named = listen_named || setting.name == "listen";
        metrics_named = metrics_named || setting.name == "metrics-from";
    }
    // Monitoring is for the machine itself unless networks are named.
    if (!metrics_named) options.http.monitoring_networks = {*parse_cidr("127.0.0.0/8"), *parse_cidr("::1")};
    if (!listen_named) throw SettingError("serve needs listen (--listen ADDR:PORT)");
    if (options.store.data_dir.empty() && options.store.database.empty())
        throw SettingError("serve needs data (--data DIR) or database (--database URL)");
    const int tls_named =
        int(options.tls_listen.has_value()) + int(!options.tls_cert.empty()) + int(!options.tls_key.empty());
    if (tls_named != 0 && tls_named != 3)
        throw SettingError("HTTPS needs all three of tls-listen, tls-cert and tls-key");
    check_directory(options.directory);
    if (options.radius_listen && options.radius_clients.empty())
        throw SettingError("radius-listen needs at least one radius-client = CIDR SECRET-FILE");
    return options;
}

} // namespace lumresults
