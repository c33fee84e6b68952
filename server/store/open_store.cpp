// server/store/open_store.cpp: the one place that turns a command's --data or --database into a store.
#include "server/store/store.h"

namespace lumresults {

std::unique_ptr<Store> open_store(const StoreLocation& location) {
    if (!location.database.empty()) return open_postgres_store(location.database);
    return open_sqlite_store(location.data_dir);
}

} // namespace lumresults
