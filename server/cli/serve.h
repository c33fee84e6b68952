// server/cli/serve.h: `lumresults serve`: the server's life from start to SIGTERM.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "server/directory/directory_settings.h"
#include "server/http/server.h"
#include "server/radius/radius_clients.h"
#include "server/store/store.h"

namespace lumresults {

struct ServeOptions {
    HttpSettings http;
    StoreLocation store; // with a database and no data folder, uploads wait in a private temporary folder
    std::uint64_t max_upload = 16 * 1024 * 1024;
    unsigned keep_days = 400;       // reports older are deleted, daily; 0 keeps them for ever
    unsigned keep_audit_days = 400; // audit lines older are deleted, daily; 0 keeps them for ever
    std::string time_zone;          // the pages' times (an IANA name); empty: the machine's
    // An HTTPS listener of the server's own (http.tls is filled from these files when serving starts and
    // again on a reload).
    std::optional<ListenAddress> tls_listen;
    std::filesystem::path tls_cert; // PEM: the server's certificate, then the chain
    std::filesystem::path tls_key;  // PEM
    // The operator's directory for staff sign-in (the ldap-* settings); not configured: local accounts only.
    directory::DirectorySettings directory;
    // The operator's RADIUS accounting (off unless radius-listen is set): the UDP address, the senders with
    // their secrets, and what each sender line may send a second.
    std::optional<ListenAddress> radius_listen;
    std::vector<radius::RadiusClient> radius_clients;
    unsigned radius_client_rate = 2000;
    std::optional<unsigned> keep_session_days{}; // sessions last heard of longer ago are deleted; unset: keep_days
};

// The settings read again, as at the start (throws SettingError when they cannot be used).
using ReadOptions = std::function<ServeOptions()>;

// Serves until SIGTERM or SIGINT, then stops accepting, finishes the uploads being received and
// returns 0; 1 when the server cannot start (the reason on standard error). On SIGHUP, when `read_again`
// is given, takes what can change without a restart from the settings it reads, and logs the rest.
int serve(const ServeOptions& options, const ReadOptions& read_again = {});

} // namespace lumresults
