// server/store/sqlite/migrations.h: the SQLite schema as numbered steps, and bringing a database up to date.
#pragma once

#include "server/store/schema_steps.h"

#include <sqlite3.h>

#include <span>

namespace lumresults::sqlite {

using lumresults::Migration;

// This build's steps, numbered 1, 2, 3, ... without gaps.
std::span<const Migration> migrations();

// Applies every step the database lacks, each in its own transaction together with the version it
// records (PRAGMA user_version), so that a step is either wholly applied and recorded or not at all.
// Throws StoreError when the database is newer than the steps know: an older build must not write to a
// schema it does not understand.
void migrate(sqlite3* db, std::span<const Migration> steps = migrations());

} // namespace lumresults::sqlite
