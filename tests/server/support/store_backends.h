// tests/server/support/store_backends.h: the same store tests on every back end: SQLite and PostgreSQL.
#pragma once

#include "scratch_postgres.h"
#include "server/store/store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace lumresults::testing_support {

enum class Backend { Sqlite, Postgres };

// For INSTANTIATE_TEST_SUITE_P: both back ends, named "Sqlite" and "Postgres".
inline const auto every_backend = ::testing::Values(Backend::Sqlite, Backend::Postgres);
std::string backend_name(const ::testing::TestParamInfo<Backend>& info);

// Where a test's store keeps its data: a data folder (SQLite) or a database of its own (PostgreSQL),
// which goes with the object. PostgreSQL needs LUMRESULTS_NEED_POSTGRES() first.
class ScratchStore {
public:
    ScratchStore(Backend backend, std::filesystem::path data_dir);

    // A store on this data; each call opens another, as a second instance of the server would.
    std::unique_ptr<Store> open() const;

    // Set for PostgreSQL.
    ScratchPostgres* database() { return database_ ? &*database_ : nullptr; }

private:
    std::filesystem::path data_dir_;
    std::optional<ScratchPostgres> database_;
};

} // namespace lumresults::testing_support

// Skips a PostgreSQL case without a scratch server (see LUMRESULTS_NEED_POSTGRES); for SetUp.
#define LUMRESULTS_NEED_BACKEND(backend)                                                                               \
    if ((backend) == ::lumresults::testing_support::Backend::Postgres) {                                               \
        LUMRESULTS_NEED_POSTGRES();                                                                                    \
    }
