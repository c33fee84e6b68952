// server/serve.cpp: opening the store, starting the HTTP server, and stopping in order on a signal.
#include "server/serve.h"

#include <csignal>
#include <exception>

#include "server/http/access_log.h"
#include "server/site/results_site.h"
#include "server/support/accounts.h"
#include "server/support/retention.h"

namespace lumresults {
namespace {

// How long the uploads being received get to finish after SIGTERM.
constexpr unsigned DRAIN_MS = 20000;

// Signals are taken by this thread alone (sigwait): the library's threads, started after the mask is
// set, inherit it and are never interrupted.
sigset_t block_stop_signals() {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    return stops;
}

int serve_until_signal(const ServeOptions& options, const sigset_t& stops) {
    std::unique_ptr<Store> store = open_sqlite_store(options.data_dir);
    Metrics metrics;
    Site site{*store, metrics, {options.max_upload, options.data_dir / "spool"}, make_download_body()};
    clear_spool(site.upload.spool_dir);
    HttpServer server(options.http, results_routes(site), metrics, support::make_gate(*store));
    write_log_line("lumresults: listening on " + server.bound_address());
    // Started after the listening line, which must be the log's first (it names the chosen port).
    const support::RetentionThread retention(*store, {options.keep_days, {}});
    int signal = 0;
    sigwait(&stops, &signal);
    write_log_line(std::string("lumresults: ") + (signal == SIGTERM ? "SIGTERM" : "SIGINT") +
                   ": no new connections; finishing the uploads being received");
    server.stop_accepting_and_drain(DRAIN_MS);
    write_log_line("lumresults: stopped");
    return 0;
}

} // namespace

int serve(const ServeOptions& options) {
    // A client that closes early must cost its own connection, never the process.
    std::signal(SIGPIPE, SIG_IGN);
    const sigset_t stops = block_stop_signals();
    try {
        return serve_until_signal(options, stops);
    } catch (const std::exception& error) {
        write_log_line(std::string("lumresults: ") + error.what());
        return 1;
    }
}

} // namespace lumresults
