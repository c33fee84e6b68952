// server/dashboard/local_time.h: the operator's own clock on the dashboard's pages (the API and the CSV stay in UTC).
#pragma once

#include <string>

#include "server/store/store.h"

namespace lumresults::dashboard {

// Makes `name` (an IANA name: "Europe/Prague", "UTC") the zone of every page; called once at start, before
// any thread reads the time. Throws std::runtime_error, naming it, when the system has no such zone.
void use_time_zone(const std::string& name);

// The zone the pages show, by name: the one chosen, else the machine's own, else "UTC".
const std::string& time_zone_name();

// "2026-03-09 09:05:07 CET", for people.
std::string local_time_text(Clock::time_point time);

} // namespace lumresults::dashboard
