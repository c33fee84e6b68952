// server/store/schema_steps.cpp: the checks every store makes of its schema steps and its database's version.
#include "server/store/schema_steps.h"

#include "server/store/store.h"

namespace lumresults {

void check_numbering(std::span<const Migration> steps) {
    if (!numbered_without_gaps(steps)) throw StoreError("schema steps are not numbered 1, 2, 3, ...");
}

bool is_current(const std::string& where, int version, int latest) {
    if (version > latest)
        throw StoreError(where + ": the database's schema is version " + std::to_string(version) +
                         ", newer than this lumresults knows (" + std::to_string(latest) + "); run a newer lumresults");
    return version == latest;
}

} // namespace lumresults
