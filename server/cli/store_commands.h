// server/cli/store_commands.h: `lumresults migrate` and `lumresults copy`: a store's schema, and moving to PostgreSQL.
#pragma once

#include <filesystem>
#include <string>

#include "server/store/store.h"

namespace lumresults {

// Brings the store's schema to this build's version (what serve would do at start), so that an upgrade
// can be applied once before the instances start. 0, or 1 with the reason on standard error.
int migrate_command(const StoreLocation& store);

// Copies the SQLite store in from_dir into the PostgreSQL database at to_url (see copy_to_postgres) and
// says what it did. 0, or 1 with the reason on standard error.
int copy_command(const std::filesystem::path& from_dir, const std::string& to_url);

} // namespace lumresults
