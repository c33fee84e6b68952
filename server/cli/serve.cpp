// server/cli/serve.cpp: opening the store, starting the HTTP server, and stopping in order on a signal.
#include "server/cli/serve.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <system_error>

#include "server/cli/serve_reload.h"
#include "server/dashboard/accounts.h"
#include "server/dashboard/retention.h"
#include "server/http/access_log.h"
#include "server/radius/accounting_listener.h"
#include "server/site/results_site.h"
#include "server/web/local_time.h"

namespace lumresults {
namespace {

// How long the uploads being received get to finish after SIGTERM.
constexpr unsigned DRAIN_MS = 20000;

// Signals are taken by this thread alone (sigwait): the library's threads, started after the mask is
// set, inherit it and are never interrupted. SIGHUP reloads.
sigset_t block_signals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

// Where uploads wait until they are stored. With a data folder: its spool folder, emptied of what a killed
// server left. Without one (an instance on a shared database keeps nothing of its own, so that any
// number of them can run side by side): a private temporary folder, removed when the server stops.
class SpoolFolder {
public:
    explicit SpoolFolder(const std::filesystem::path& data_dir) {
        if (!data_dir.empty()) {
            path_ = data_dir / "spool";
            clear_spool(path_);
            return;
        }
        std::string pattern = (std::filesystem::temp_directory_path() / "lumresults-spool-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::system_error(errno, std::generic_category(), "making a spool folder like " + pattern);
        path_ = pattern;
        owned_ = true;
    }
    SpoolFolder(const SpoolFolder&) = delete;
    SpoolFolder& operator=(const SpoolFolder&) = delete;
    ~SpoolFolder() {
        std::error_code ignored;
        if (owned_) std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    bool owned_ = false;
};

HttpSettings http_settings(const ServeOptions& options) {
    HttpSettings http = options.http;
    if (options.tls_listen) http.tls = HttpSettings::Tls{*options.tls_listen, tls_identity_of(options)};
    return http;
}

// The accounting listener when radius-listen is set; it stops (its batch answered) before the store closes.
std::unique_ptr<radius::AccountingListener> accounting_listener(const ServeOptions& options, Store& store,
                                                                Metrics& metrics) {
    if (!options.radius_listen) return nullptr;
    return std::make_unique<radius::AccountingListener>(
        store, metrics, radius::AccountingSettings{*options.radius_listen, options.radius_clients,
                                                   options.radius_client_rate});
}

// Reads the settings again and takes what it may; settings that cannot be used change nothing.
void reload_from(RunningServer& running, const ReadOptions& read_again) {
    if (!read_again) {
        write_log_line("lumresults: SIGHUP: started without a configuration to read again; nothing changed");
        return;
    }
    try {
        reload(running, read_again());
    } catch (const std::exception& error) {
        write_log_line(std::string("lumresults: reload: ") + error.what() + "; nothing changed");
    }
}

int serve_until_signal(const ServeOptions& options, const ReadOptions& read_again, const sigset_t& signals) {
    if (!options.time_zone.empty()) use_time_zone(options.time_zone); // before any thread starts
    std::unique_ptr<Store> store = open_store(options.store);
    const SpoolFolder spool(options.store.data_dir);
    Metrics metrics;
    Site site{*store, metrics, {options.max_upload, spool.path()}, make_download_body(spool.path())};
    const directory::Directory staff_directory(options.directory);
    if (options.directory.configured()) site.accounts.directory = &staff_directory;
    const HttpSettings http = http_settings(options);
    // Bound before the listening line, so that whoever waits for that line finds accounting taken too.
    const std::unique_ptr<radius::AccountingListener> accounting = accounting_listener(options, *store, metrics);
    HttpServer server(http, results_routes(site), metrics, dashboard::make_gate(*store, site.accounts));
    write_log_line("lumresults: listening on " + server.bound_address());
    if (accounting) write_log_line("lumresults: RADIUS accounting on " + accounting->bound_address());
    if (options.tls_listen) write_log_line("lumresults: HTTPS on " + server.tls_bound_address());
    // Started after the listening line, which must be the log's first (it names the chosen port).
    dashboard::RetentionThread retention(*store,
                                         {options.keep_days, {}, options.keep_audit_days, options.keep_session_days});
    RunningServer running{server, retention, options, http.tls ? http.tls->identity : TlsIdentity{}};
    int signal = 0;
    for (sigwait(&signals, &signal); signal == SIGHUP; sigwait(&signals, &signal))
        reload_from(running, read_again);
    write_log_line(std::string("lumresults: ") + (signal == SIGTERM ? "SIGTERM" : "SIGINT") +
                   ": no new connections; finishing the uploads being received");
    server.stop_accepting_and_drain(DRAIN_MS);
    write_log_line("lumresults: stopped");
    return 0;
}

} // namespace

int serve(const ServeOptions& options, const ReadOptions& read_again) {
    // A client that closes early must cost its own connection, never the process.
    std::signal(SIGPIPE, SIG_IGN);
    const sigset_t signals = block_signals();
    try {
        return serve_until_signal(options, read_again, signals);
    } catch (const std::exception& error) {
        write_log_line(std::string("lumresults: ") + error.what());
        return 1;
    }
}

} // namespace lumresults
