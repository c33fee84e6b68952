// server/store/schema_steps.h: what every store's schema steps share: their numbering, and refusing a newer schema.
#pragma once

#include <span>
#include <string>

namespace lumresults {

// One step of a schema: the SQL that takes a database from version - 1 to version.
struct Migration {
    int version;
    const char* sql;
};

// True when the steps are numbered 1, 2, 3, ... without gaps, as each store's table of steps must be.
constexpr bool numbered_without_gaps(std::span<const Migration> steps) {
    for (std::size_t i = 0; i < steps.size(); ++i)
        if (steps[i].version != static_cast<int>(i) + 1) return false;
    return true;
}

// Throws StoreError unless the steps are numbered without gaps.
void check_numbering(std::span<const Migration> steps);

// True when a database at `version` is up to date with `latest`. Throws StoreError, naming `where`, when
// it is newer: an older build must not write to a schema it does not understand.
bool is_current(const std::string& where, int version, int latest);

} // namespace lumresults
