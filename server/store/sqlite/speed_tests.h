// server/store/sqlite/speed_tests.h: the speed-test page's results: stored one by one, searched by address and time.
#pragma once

#include "server/store/sqlite/sqlite_handles.h"
#include "server/store/store.h"

#include <cstdint>
#include <vector>

namespace lumresults::sqlite {

// One statement, durable when it returns on a connection with synchronous=FULL; needs a writer's connection.
std::int64_t put_speed_test(sqlite3* db, const NewSpeedTest& test);
std::vector<SpeedTest> search_speed_tests(sqlite3* db, const SpeedTestSearch& search);
// One statement: the rows are small, so even a year's worth holds the write lock only briefly.
std::size_t delete_speed_tests_before(sqlite3* db, Clock::time_point before);

} // namespace lumresults::sqlite
