// server/store/postgres/pg_migrations.h: the PostgreSQL schema as numbered steps, and bringing a database up to date.
#pragma once

#include "server/store/postgres/pg_session.h"
#include "server/store/schema_steps.h"

#include <span>

namespace lumresults::postgres {

using lumresults::Migration;

// This build's steps, numbered 1, 2, 3, ... without gaps; the same steps, with the same meaning, as
// the SQLite store's.
std::span<const Migration> migrations();

// Applies every step the database lacks, each in its own transaction together with the version it
// records in lumresults_schema, under an advisory lock: instances started together apply each step
// once. Throws StoreError when the database is newer than the steps know.
void migrate(Session& session, std::span<const Migration> steps = migrations());

} // namespace lumresults::postgres
