// server/store/sql/sql_store.h: a Store made of the statements written once, over one back end's Database.
#pragma once

#include "server/store/sql/database.h"

#include <memory>

namespace lumresults::sql {

// The store over `database`, which it owns from then on.
std::unique_ptr<Store> make_store(std::unique_ptr<Database> database);

} // namespace lumresults::sql
