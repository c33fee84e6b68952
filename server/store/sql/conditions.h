// server/store/sql/conditions.h: the conditions every search has (the caller, whole or its start, and the
// time received) and the bounds of a page, as SQL with their parameters.
#pragma once

#include "server/store/sql/sql_params.h"
#include "server/store/store.h"

#include <optional>
#include <string>
#include <string_view>

namespace lumresults::sql {

// The first text after every text that starts with prefix (bytes compared as unsigned), or nothing when
// there is none (a prefix of 0xFF bytes only): the upper end of the range that a prefix search asks for.
std::optional<std::string> after_prefix(std::string prefix);

struct CallerAndTime {
    const std::string& caller; // empty: any caller
    bool prefix = false;       // caller is the start of the address rather than the whole
    std::optional<Clock::time_point> since;
    std::optional<Clock::time_point> until;
};

// " AND ..." for each condition asked for, on the columns of `table` ("r." or ""), adding their parameters.
// Only the conditions asked for appear, so that the planner picks the index that fits: a prefix is a range,
// which a (caller, received) index answers like a whole address.
std::string caller_and_time_sql(const CallerAndTime& conditions, std::string_view table, Params& params);

// " LIMIT $n", with the limit as a parameter (at most the largest whole number SQL keeps).
std::string limit_sql(std::size_t limit, Params& params);

} // namespace lumresults::sql
