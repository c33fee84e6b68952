// server/store/postgres/pg_speed_tests.h: the speed-test page's results: stored one by one, searched by address and
// time.
#pragma once

#include "server/store/postgres/pg_session.h"
#include "server/store/store.h"

#include <cstdint>
#include <vector>

namespace lumresults::postgres {

// One statement, committed (durably) when it returns.
std::int64_t put_speed_test(Session& session, const NewSpeedTest& test);
std::vector<SpeedTest> search_speed_tests(Session& session, const SpeedTestSearch& search);
// One statement: the rows are small.
std::size_t delete_speed_tests_before(Session& session, Clock::time_point before);

} // namespace lumresults::postgres
