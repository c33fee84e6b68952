// server/store/sql/open_database.h: each back end's Database, for a store or for a test that watches its statements.
#pragma once

#include "server/store/sql/database.h"

#include <filesystem>
#include <memory>
#include <string>

namespace lumresults::sql {

// The SQLite file in data_dir (created when needed), its schema brought to the current version.
std::unique_ptr<Database> open_sqlite_database(const std::filesystem::path& data_dir);

// The PostgreSQL database at `url`, its schema brought to the current version (see open_postgres_store).
std::unique_ptr<Database> open_postgres_database(const std::string& url);

} // namespace lumresults::sql
