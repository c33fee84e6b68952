// server/store/copy/radacct_import.h: sessions read from FreeRADIUS's own accounting table into the store.
#pragma once

#include <cstddef>
#include <string>

#include "server/store/store.h"

namespace lumresults {

struct ImportCounts {
    std::size_t rows = 0;     // radacct rows read
    std::size_t recorded = 0; // records that changed the store
    std::size_t repeats = 0;  // records it had already (a second import, or the listener's own)
};

// Reads every row of `radacct` (the PostgreSQL schema Debian's FreeRADIUS ships) at `url`, a thousand at a
// time in id order, as the records that made it: a Start at its start time, an Interim-Update at its last
// update, a Stop at its stop time with its cause. radacct keeps no NAS-Identifier, so its sessions are the
// NAS address's alone. Importing again changes nothing. Throws StoreError.
ImportCounts import_radacct(const std::string& url, SessionStore& store);

} // namespace lumresults
