// tests/server/support/scratch_postgres.h: a fresh PostgreSQL database per test, on the scratch server the environment
// names.
#pragma once

#include "server/store/postgres/pg_session.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace lumresults::testing_support {

// Why the PostgreSQL tests cannot run (LUMRESULTS_TEST_POSTGRES unset), or nothing when they can.
std::optional<std::string> postgres_unavailable();
// LUMRESULTS_REQUIRE_POSTGRES=1: a missing server fails the tests instead of skipping them, so that a run
// that must cover PostgreSQL never passes by skipping it silently.
bool postgres_required();

// A database of its own on the scratch server, created empty and dropped (WITH (FORCE)) with the object.
class ScratchPostgres {
public:
    ScratchPostgres();
    ~ScratchPostgres();
    ScratchPostgres(const ScratchPostgres&) = delete;
    ScratchPostgres& operator=(const ScratchPostgres&) = delete;

    // A libpq connection string for the new database.
    const std::string& url() const { return url_; }
    const std::string& name() const { return name_; }
    // Runs SQL on the new database from a connection of the test's own (not the store's).
    void exec(const std::string& sql);
    std::int64_t query_integer(const std::string& sql);

private:
    postgres::Session& session();

    std::string admin_url_;
    std::string name_;
    std::string url_;
    std::optional<postgres::Session> session_; // opened on first use
};

} // namespace lumresults::testing_support

// Skips the test, or fails it when PostgreSQL is required, unless a scratch server is there. For a test's
// body or its fixture's SetUp (the body does not run after either).
#define LUMRESULTS_NEED_POSTGRES()                                                                                     \
    if (const auto lumresults_why_not = ::lumresults::testing_support::postgres_unavailable()) {                       \
        if (::lumresults::testing_support::postgres_required()) FAIL() << *lumresults_why_not;                         \
        GTEST_SKIP() << *lumresults_why_not;                                                                           \
    }
