// server/store/postgres/postgres_store.h: opening the Store kept in a PostgreSQL database.
#pragma once

#include "server/store/store.h"

#include <cstddef>
#include <memory>
#include <string>

namespace lumresults {

// Connects to the database a libpq URL or connection string names, applies the schema steps it lacks and
// returns a Store that behaves as the SQLite one does. Throws StoreError (naming host and database,
// never a password).
std::unique_ptr<Store> open_postgres_store(const std::string& url);

namespace postgres {
// Connections each instance keeps at most (its calls wait for one beyond that).
inline constexpr std::size_t default_pool_size = 8;
std::unique_ptr<Store> open_store(const std::string& url, std::size_t pool_size);
} // namespace postgres

} // namespace lumresults
