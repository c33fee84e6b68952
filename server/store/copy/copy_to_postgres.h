// server/store/copy/copy_to_postgres.h: moving a SQLite store into PostgreSQL, every report byte for byte.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace lumresults {

struct CopyOutcome {
    std::size_t reports_copied = 0;
    std::size_t reports_there = 0;   // in the target already, the same bytes: an earlier copy's
    std::size_t reports_checked = 0; // read back from the target and found equal to their digest
    std::size_t rows_copied = 0;     // readings, staff users, API tokens, audit lines and speed tests
    std::size_t rows_there = 0;
};

// Copies everything the SQLite store in data_dir keeps for good (reports with their readings, staff users,
// API tokens, the audit log, speed tests) into the PostgreSQL database at url, keeping every id, then
// reads each report back from PostgreSQL and checks it against its digest. Sessions and refused sign-ins
// are not copied: they last minutes, and staff sign in again.
//
// Run twice, it copies only what the first run had not: a row the target has already, equal in every
// column, is passed over. A row the target has under the same key with other contents stops the copy
// with StoreError, since keeping either would lose the other. Each batch is one transaction, so a copy
// broken off leaves whole rows only; run it again to finish. `progress` gets a line now and then.
CopyOutcome copy_to_postgres(const std::filesystem::path& data_dir, const std::string& url,
                             const std::function<void(std::string_view)>& progress);

} // namespace lumresults
