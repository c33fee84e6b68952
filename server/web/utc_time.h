// server/web/utc_time.h: the server's times as the dashboard and the API show them: UTC, to the second.
#pragma once

#include <string>

#include "server/store/store.h"

namespace lumresults {

// "2026-03-09 08:05:07", for people.
std::string utc_time_text(Clock::time_point time);
// "2026-03-09T08:05:07Z", for other programs.
std::string utc_time_iso(Clock::time_point time);

} // namespace lumresults
