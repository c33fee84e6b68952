// tests/server/support/store_backends.cpp: a test's store on the back end it is run for.
#include "store_backends.h"


namespace lumresults::testing_support {

std::string backend_name(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
}

ScratchStore::ScratchStore(Backend backend, std::filesystem::path data_dir) : data_dir_(std::move(data_dir)) {
    if (backend == Backend::Postgres) database_.emplace();
}

std::unique_ptr<Store> ScratchStore::open() const {
    return database_ ? open_postgres_store(database_->url()) : open_sqlite_store(data_dir_);
}

} // namespace lumresults::testing_support
