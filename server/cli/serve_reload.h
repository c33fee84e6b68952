// server/cli/serve_reload.h: what a reload (SIGHUP) changes in the running server, and what only a restart does.
#pragma once

#include "server/dashboard/retention.h"
#include "server/http/server.h"
#include "server/cli/serve.h"

namespace lumresults {

// The certificate and key as the files of `options` hold them now. Throws std::runtime_error naming a file
// that cannot be read.
TlsIdentity tls_identity_of(const ServeOptions& options);

// The server as it runs, and the settings in force.
struct RunningServer {
    HttpServer& server;
    dashboard::RetentionThread& retention;
    ServeOptions options;
    TlsIdentity identity; // served now, when there is an HTTPS listener
};

// Takes from `next` what changes without a restart (the trusted proxies, the staff and metrics networks,
// the retention periods, the certificate and key: the files are read again) and logs each change, and each
// changed setting that only a restart takes; running.options becomes what is in force.
void reload(RunningServer& running, const ServeOptions& next);

} // namespace lumresults
