// server/store/caller_and_time.h: the caller and time conditions every search has, as SQL any store can bind.
#pragma once

#include "server/store/store.h"

#include <optional>
#include <string>
#include <string_view>

namespace lumresults {

// The first text after every text that starts with prefix (bytes compared as unsigned), or nothing when
// there is none (a prefix of 0xFF bytes only): the upper end of the range that a prefix search asks for.
std::optional<std::string> after_prefix(std::string prefix);

// The caller, whole or its start (a range, which a (caller, received) index answers), and the time
// received. Its SQL uses the parameters 1 to 4; each store binds the values below to them.
class CallerAndTime {
public:
    CallerAndTime(const std::string& caller, bool prefix, std::optional<Clock::time_point> since,
                  std::optional<Clock::time_point> until);
    // " AND ..." for each condition asked for, on the columns of `table` ("r." or ""), the parameters
    // written as `marker` and their number ('?' for SQLite, '$' for PostgreSQL).
    std::string sql(std::string_view table, char marker) const;

    // Parameter 1 when not empty: the address, or its start.
    const std::string& caller() const { return caller_; }
    // Parameter 2 when set: the end of a prefix's range.
    const std::optional<std::string>& bound() const { return bound_; }
    // Parameters 3 and 4 when set.
    const std::optional<Clock::time_point>& since() const { return since_; }
    const std::optional<Clock::time_point>& until() const { return until_; }

private:
    const std::string& caller_;
    bool prefix_;
    std::optional<std::string> bound_;
    std::optional<Clock::time_point> since_;
    std::optional<Clock::time_point> until_;
};

} // namespace lumresults
