// server/store/postgres/postgres_store.h: opening the PostgreSQL store with a pool of a given size.
#pragma once

#include "server/store/sql/database.h"
#include "server/store/store.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace lumresults::postgres {

// The connections open_postgres_store (store.h) keeps at most; its calls wait for one beyond that. Each
// instance has its own, so the size times the instances must stay within the server's max_connections.
inline constexpr std::size_t default_pool_size = 8;
// A report's bytes are kept in rows of report_content, this many bytes each but the last.
inline constexpr std::size_t content_piece = 64 * 1024;

// How long an upload waits for a database that cannot be reached (a restart, a failover) before it is
// refused: well within what the program and the balancer wait for an answer.
inline constexpr std::chrono::milliseconds default_upload_patience{15000};

// The database behind open_store, for a test that watches its statements.
std::unique_ptr<sql::Database> open_database(const std::string& url, std::size_t pool_size,
                                             std::chrono::milliseconds upload_patience = default_upload_patience);

// open_postgres_store with at most pool_size connections, uploads waiting up to upload_patience.
std::unique_ptr<Store> open_store(const std::string& url, std::size_t pool_size,
                                  std::chrono::milliseconds upload_patience = default_upload_patience);

} // namespace lumresults::postgres
