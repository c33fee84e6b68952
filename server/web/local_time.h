// server/web/local_time.h: the operator's own clock on the dashboard's pages (the API and the CSV stay in UTC).
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "server/store/store.h"

namespace lumresults {

// Makes `name` (an IANA name: "Europe/Prague", "UTC") the zone of every page; called once at start, before
// any thread reads the time. Throws std::runtime_error, naming it, when the system has no such zone.
void use_time_zone(const std::string& name);

// The zone the pages show, by name: the one chosen, else the machine's own, else "UTC".
const std::string& time_zone_name();

// "2026-03-09 09:05:07 CET", for people.
std::string local_time_text(Clock::time_point time);

// The date the operator's clock shows at `time`.
std::chrono::year_month_day local_date(Clock::time_point time);

// The instant the operator's clock shows as that date and minute (in a summer-time change's repeated hour,
// its first pass; in a skipped hour, the time an hour on); nothing for a date the C library cannot place.
std::optional<Clock::time_point> local_instant(std::chrono::year_month_day date, std::chrono::minutes time_of_day);

} // namespace lumresults
