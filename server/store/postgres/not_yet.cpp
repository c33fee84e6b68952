// server/store/postgres/not_yet.cpp: stands in for the PostgreSQL store until it lands; removed with it.
#include "server/store/store.h"

namespace lumresults {

std::unique_ptr<Store> open_postgres_store(const std::string&) {
    throw StoreError("this lumresults was built without PostgreSQL");
}

} // namespace lumresults
