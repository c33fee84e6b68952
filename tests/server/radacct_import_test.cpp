// tests/server/radacct_import_test.cpp: FreeRADIUS's own radacct table (its shipped schema) read into sessions, once.
#include "server/store/copy/radacct_import.h"

#include "scratch_postgres.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace lumresults;
using lum::testing_support::ScratchFolder;
using lumresults::testing_support::ScratchPostgres;

namespace {

// Where Debian's freeradius-config ships the PostgreSQL schema.
constexpr const char* RADACCT_SCHEMA = "/etc/freeradius/3.0/mods-config/sql/main/postgresql/schema.sql";

TEST(RadacctImport, ReadsFreeRadiusHistoryIntoSessionsOnce) {
    LUMRESULTS_NEED_POSTGRES();
    std::ostringstream schema;
    schema << std::ifstream(RADACCT_SCHEMA).rdbuf();
    ASSERT_FALSE(schema.str().empty()) << "freeradius-config's " << RADACCT_SCHEMA;
    ScratchPostgres radius;
    radius.exec(schema.str());
    radius.exec("INSERT INTO radacct (acctsessionid, acctuniqueid, username, nasipaddress, nasportid, acctstarttime, "
                "acctupdatetime, acctstoptime, callingstationid, acctterminatecause, framedipaddress, "
                "delegatedipv6prefix) VALUES "
                "('S1', 'u1', 'alice', '192.0.2.1', 'eth0/1', '2026-05-06 07:00Z', '2026-05-06 07:30Z', "
                "'2026-05-06 08:00Z', '00-11', 'Lost-Carrier', '100.64.1.1', '2001:db8:aa00::/56'), "
                "('S2', 'u2', 'bob', '192.0.2.1', 'eth0/2', '2026-05-06 07:10Z', NULL, NULL, '', NULL, "
                "'100.64.2.2', NULL)");
    ScratchFolder folder{"lumresults_import_"};
    const std::unique_ptr<Store> store = open_sqlite_store(folder.path());

    const ImportCounts first = import_radacct(radius.url(), *store);
    EXPECT_EQ(std::tuple(first.rows, first.recorded, first.repeats), std::tuple(2u, 4u, 0u));
    const ImportCounts again = import_radacct(radius.url(), *store);
    EXPECT_EQ(std::tuple(again.recorded, again.repeats), std::tuple(0u, 4u));

    const Clock::time_point seven = std::chrono::sys_days{std::chrono::year{2026} / 5 / 6} + std::chrono::hours(7);
    const auto alice = store->session_at("2001:db8:aa00:1::5", seven + std::chrono::minutes(20));
    ASSERT_TRUE(alice);
    EXPECT_EQ(std::tuple(alice->user_name, alice->node_address, alice->port_id, alice->ipv4),
              std::tuple("alice", "192.0.2.1", "eth0/1", "100.64.1.1"));
    EXPECT_EQ(alice->stop, seven + std::chrono::hours(1));
    EXPECT_EQ(alice->cause, 2);
    EXPECT_EQ(store->session_at("100.64.2.2", seven + std::chrono::hours(5))->user_name, "bob");
}

} // namespace
