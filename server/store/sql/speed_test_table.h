// server/store/sql/speed_test_table.h: the speed tests' statements, written once for every back end.
#pragma once

#include "server/store/sql/database.h"

namespace lumresults::sql {

class SpeedTestTable : public virtual SpeedTestStore {
public:
    explicit SpeedTestTable(Database& database) : database_(database) {}

    using SpeedTestStore::put_speed_test;
    std::optional<std::int64_t> put_speed_test(const NewSpeedTest& test, const SpeedTestToken& token) override;
    std::vector<SpeedTest> search_speed_tests(const SpeedTestSearch& search) override;
    std::size_t delete_speed_tests_before(Clock::time_point before) override;

private:
    Database& database_;
};

} // namespace lumresults::sql
