// server/store/postgres/postgres_store.h: opening the PostgreSQL store with a pool of a given size.
#pragma once

#include "server/store/store.h"

#include <cstddef>
#include <memory>
#include <string>

namespace lumresults::postgres {

// The connections open_postgres_store (store.h) keeps at most; its calls wait for one beyond that. Each
// instance has its own, so the size times the instances must stay within the server's max_connections.
inline constexpr std::size_t default_pool_size = 8;

// open_postgres_store with at most pool_size connections.
std::unique_ptr<Store> open_store(const std::string& url, std::size_t pool_size);

} // namespace lumresults::postgres
