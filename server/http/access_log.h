// server/http/access_log.h: one line per request on standard error, and the server's other log lines.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "server/http/request.h"

namespace lumresults {

// Written with one write() so that lines from different threads never mix.
void write_log_line(std::string_view line);

// "2026-12-07T18:00:00Z 192.0.2.1 \"POST /lumnettestresult.php HTTP/1.1\" 200 5 12ms"; status 0 when
// the client went away before an answer.
void write_access_line(const Request& request, std::string_view version, unsigned status, std::uint64_t bytes,
                       std::chrono::steady_clock::duration elapsed);

} // namespace lumresults
