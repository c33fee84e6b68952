// tests/bench/hostile_report_page.cpp: what a member of staff opening the largest hostile report costs the
// server: the page's size and time and the server's peak memory above its size just before, for a report of
// control bytes between letters (each one a run of its own), of line feeds, and of a real report repeated;
// the same for the page that shows the whole report.
#include "hostile_report_page.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include "raw_http.h"
#include "server_child.h"
#include "staff_client.h"

namespace lum::bench {
namespace {

using namespace lum::server_testing;
namespace fs = std::filesystem;

constexpr double MIB = 1024.0 * 1024.0;
const std::string PASSWORD = "bench pass word";

// A figure of /proc/PID/status, in MiB.
double status_mib(pid_t pid, std::string_view field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field)) return static_cast<double>(std::stol(line.substr(field.size()))) / 1024;
    throw std::runtime_error("no " + std::string(field) + " for the server");
}

// The peak so far becomes the size now (proc(5): clear_refs 5), so that what follows is measured alone.
void reset_peak(pid_t pid) { std::ofstream("/proc/" + std::to_string(pid) + "/clear_refs") << "5"; }

std::string cycled(std::string_view unit, std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t at = 0; at < size; ++at)
        bytes[at] = unit[at % unit.size()];
    return bytes;
}

std::string signed_in(int port) {
    const HttpResponse answer = post_sign_in(port, "ann", PASSWORD);
    const std::optional<std::string> session = set_cookie(answer, "lumresults_session");
    if (!session) throw std::runtime_error("cannot sign in: " + std::to_string(answer.status));
    return session_cookie(*session);
}

void measure_page(const ServerChild& server, const std::string& target, const std::string& session, const char* label,
                  std::size_t report_size) {
    reset_peak(server.pid());
    const double resting = status_mib(server.pid(), "VmRSS:");
    const auto start = std::chrono::steady_clock::now();
    const std::optional<HttpResponse> page =
        exchange(server.port(), form_request("GET", target, session), std::chrono::minutes(5));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!page || page->status != 200) throw std::runtime_error(target + " was not answered 200");
    std::printf("    %-12s %8.1f MiB = %5.2f x the report   %6.2f s   server's peak %+7.1f MiB (from %.1f)\n", label,
                static_cast<double>(page->body.size()) / MIB,
                static_cast<double>(page->body.size()) / static_cast<double>(report_size), seconds,
                status_mib(server.pid(), "VmHWM:") - resting, resting);
}

void page_phase(const fs::path& work, const char* kind, const std::string& report, std::size_t max_upload) {
    const fs::path data = work / (std::string("page-") + kind);
    const CommandResult added = run_lumresults({"user", "add", "ann", "--data", data.string()}, PASSWORD + "\n");
    if (added.exit_code != 0) throw std::runtime_error("cannot add a user to " + data.string());
    const ServerChild server(data, {"--max-upload", std::to_string(max_upload)}, work / "page.log");
    const std::optional<HttpResponse> stored =
        exchange(server.port(), upload_request(program_upload_body(report)), std::chrono::minutes(2));
    const std::optional<long long> id = stored ? acknowledged_id(*stored) : std::nullopt;
    if (!id) throw std::runtime_error(std::string("the report of ") + kind + " was not stored");
    const std::string session = signed_in(server.port());
    const std::string path = "/support/reports/" + std::to_string(*id);
    std::printf("  %s:\n", kind);
    measure_page(server, path, session, "page", report.size());
    measure_page(server, path + "?whole=all", session, "shown whole", report.size());
}

} // namespace

void report_page_phases(const fs::path& work, std::size_t max_upload, const std::string& report) {
    const std::size_t room = max_upload - program_upload_body("").size();
    std::printf("the report's page for a report of %zu bytes, opened by a member of staff:\n", room);
    page_phase(work, "control bytes", cycled("A\x01", room), max_upload);
    page_phase(work, "line feeds", cycled("\n", room), max_upload);
    page_phase(work, "the passing report", cycled(report, room), max_upload);
}

} // namespace lum::bench
