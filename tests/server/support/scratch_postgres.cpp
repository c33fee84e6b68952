// tests/server/support/scratch_postgres.cpp: creating and dropping a test's database on the scratch server.
#include "scratch_postgres.h"

#include "server/store/store.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <random>

namespace lumresults::testing_support {
namespace {

std::string admin_url() {
    const char* url = std::getenv("LUMRESULTS_TEST_POSTGRES");
    return url != nullptr ? url : "";
}

// A value as a connection string quotes it.
std::string quoted(const std::string& value) {
    std::string text = "'";
    for (const char c : value) {
        if (c == '\'' || c == '\\') text += '\\';
        text += c;
    }
    return text + "'";
}

// The admin URL's words as a connection string, with the database replaced.
std::string with_database(const std::string& url, const std::string& database) {
    char* error = nullptr;
    PQconninfoOption* const options = PQconninfoParse(url.c_str(), &error);
    PQfreemem(error);
    if (options == nullptr) throw StoreError("LUMRESULTS_TEST_POSTGRES is not a libpq URL or connection string");
    std::string text = "dbname=" + quoted(database);
    for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option)
        if (option->val != nullptr && *option->val != '\0' && std::string(option->keyword) != "dbname")
            text += " " + std::string(option->keyword) + "=" + quoted(option->val);
    PQconninfoFree(options);
    return text;
}

std::string unique_name() {
    static std::atomic<int> next = 0;
    std::random_device random;
    return "lumresults_test_" + std::to_string(getpid()) + "_" + std::to_string(next++) + "_" +
           std::to_string(random() % 100000);
}

} // namespace

std::optional<std::string> postgres_unavailable() {
    if (!admin_url().empty()) return std::nullopt;
    return "LUMRESULTS_TEST_POSTGRES names no scratch PostgreSQL server (scripts/lib/postgres.sh starts one)";
}

bool postgres_required() {
    const char* required = std::getenv("LUMRESULTS_REQUIRE_POSTGRES");
    return required != nullptr && std::string(required) == "1";
}

ScratchPostgres::ScratchPostgres() : admin_url_(admin_url()), name_(unique_name()) {
    if (const auto why_not = postgres_unavailable()) throw StoreError(*why_not);
    postgres::Session admin(admin_url_, "the scratch PostgreSQL server");
    admin.exec(("CREATE DATABASE " + name_).c_str(), "creating a test's database");
    url_ = with_database(admin_url_, name_);
}

ScratchPostgres::~ScratchPostgres() {
    session_.reset();
    try {
        postgres::Session admin(admin_url_, "the scratch PostgreSQL server");
        admin.exec(("DROP DATABASE " + name_ + " WITH (FORCE)").c_str(), "dropping a test's database");
    } catch (const StoreError& error) {
        ADD_FAILURE() << error.what();
    }
}

postgres::Session& ScratchPostgres::session() {
    // Named apart from the store's sessions, so that a test can find (and kill) those alone.
    if (!session_) session_.emplace(url_ + " application_name=lumresults_test", name_);
    return *session_;
}

void ScratchPostgres::exec(const std::string& sql) { session().exec(sql.c_str(), sql); }

std::int64_t ScratchPostgres::query_integer(const std::string& sql) {
    const postgres::Result result = session().run(sql, postgres::Params(), sql);
    return postgres::integer_at(result.get(), 0, 0);
}

} // namespace lumresults::testing_support
